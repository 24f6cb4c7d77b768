#include "writers/exr_encoding.h"

#include <openexr.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include "lumenpull/error.h"

namespace lumenpull {

namespace {
// What the library's callbacks fill in. Its table of chunk offsets comes
// before the chunks but is only known after them, so the library goes back
// to write it at the end; the file is assembled here and then written
// through an OutputFile in one piece.
struct ExrSink {
    std::vector<uint8_t> bytes;
    const char* error = nullptr;  // why writing to it failed, when it did
};

// The callbacks run inside C code: nothing may be thrown through it.
int64_t writeToSink(exr_const_context_t context, void* userData, const void* buffer, uint64_t size, uint64_t offset,
                    exr_stream_error_func_ptr_t error) {
    auto& sink = *static_cast<ExrSink*>(userData);
    auto& bytes = sink.bytes;
    const auto fail = [&](const char* reason) {
        sink.error = reason;
        error(context, EXR_ERR_OUT_OF_MEMORY, reason);
        return int64_t{-1};
    };
    if (size > uint64_t{std::numeric_limits<std::size_t>::max()} - offset ||
        size > uint64_t{std::numeric_limits<int64_t>::max()}) {
        return fail("file too large to assemble in memory");
    }
    const auto end = static_cast<std::size_t>(offset + size);
    try {
        if (end > bytes.size()) bytes.resize(end);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
    if (size != 0) std::memcpy(bytes.data() + offset, buffer, static_cast<std::size_t>(size));
    return static_cast<int64_t>(size);
}

// The library would print its messages to standard error, which the tool
// never uses. Nothing else may happen here: the library calls this while it
// holds its context's lock, which asking the context for anything (its user
// data included) takes again, and so never returns.
void ignoreMessage(exr_const_context_t, exr_result_t, const char*) {}

struct ContextEnd {
    void operator()(exr_context_t context) const { exr_finish(&context); }
};
using ExrContext = std::unique_ptr<std::remove_pointer_t<exr_context_t>, ContextEnd>;

// The encoding state of one file, kept from chunk to chunk.
// The encoding state of one file, kept from chunk to chunk.
struct Encoder {
    explicit Encoder(exr_const_context_t owner) : context(owner) {}
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        if (started) exr_encoding_destroy(context, &pipeline);
    }

    exr_const_context_t context;
    exr_encode_pipeline_t pipeline{};  // all zero, as the library's initializer makes it
    bool started = false;
    // The library's own compression step, which storedChunk wraps.
    exr_result_t (*libraryCompress)(exr_encode_pipeline_t*) = nullptr;
};

// A reader decompresses a chunk only when it is stored in fewer bytes than
// its raw rows; one stored at exactly their size is taken as the raw rows.
// The library's ZIP step falls back to the raw rows only when compression
// made them larger, so rows that compress to exactly their own size came
// out as compressed bytes that every reader took for pixels. Whatever the
// library decides, a chunk not strictly smaller is stored raw here.
exr_result_t storedChunk(exr_encode_pipeline_t* pipeline) {
    const auto* encoder = static_cast<const Encoder*>(pipeline->encoding_user_data);
    const exr_result_t result = encoder->libraryCompress(pipeline);
    if (result != EXR_ERR_SUCCESS) return result;
    if (pipeline->compressed_bytes < pipeline->packed_bytes) return EXR_ERR_SUCCESS;
    if (pipeline->compressed_buffer == pipeline->packed_buffer) return EXR_ERR_SUCCESS;
    if (pipeline->compressed_buffer == nullptr || pipeline->compressed_alloc_size < pipeline->packed_bytes) {
        return EXR_ERR_OUT_OF_MEMORY;
    }
    std::memcpy(pipeline->compressed_buffer, pipeline->packed_buffer, static_cast<std::size_t>(pipeline->packed_bytes));
    pipeline->compressed_bytes = static_cast<std::size_t>(pipeline->packed_bytes);
    return EXR_ERR_SUCCESS;
}

}  // namespace

std::vector<uint8_t> encodeExrRgb(const std::string& path, uint32_t width, uint32_t height,
                                  const ExrRowSource& rowSource) {
    ExrSink sink;
    const auto check = [&](exr_result_t result) {
        if (result == EXR_ERR_SUCCESS) return;
        const char* reason = sink.error != nullptr ? sink.error : exr_get_error_code_as_string(result);
        throw Error("Error writing output file: " + path + ": " + reason);
    };
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.error_handler_fn = ignoreMessage;
    init.user_data = &sink;
    init.write_fn = writeToSink;
    init.zip_level = 4;  // the full library's level (the core would take zlib's default, 6)
    exr_context_t raw = nullptr;
    const exr_result_t started = exr_start_write(&raw, path.c_str(), EXR_WRITE_FILE_DIRECTLY, &init);
    ExrContext context(raw);
    check(started);

    int part = 0;
    check(exr_add_part(context.get(), nullptr, EXR_STORAGE_SCANLINE, &part));
    check(exr_initialize_required_attr_simple(context.get(), part, static_cast<int32_t>(width),
                                              static_cast<int32_t>(height), EXR_COMPRESSION_ZIP));
    for (const char* name : {"R", "G", "B"}) {
        check(exr_add_channel(context.get(), part, name, EXR_PIXEL_FLOAT, EXR_PERCEPTUALLY_LOGARITHMIC, 1, 1));
    }
    check(exr_set_lineorder(context.get(), part, EXR_LINEORDER_INCREASING_Y));
    check(exr_write_header(context.get()));

    int32_t rowsPerChunk = 0;
    check(exr_get_scanlines_per_chunk(context.get(), part, &rowsPerChunk));
    const auto chunkRows = static_cast<uint32_t>(std::max(rowsPerChunk, 1));
    {  // the encoder goes before the context
        const std::size_t rowFloats = std::size_t{width} * 3;
        std::vector<float> rows(rowFloats * chunkRows);
        Encoder encoder(context.get());
        for (uint32_t first = 0; first < height; first += chunkRows) {
            const uint32_t count = std::min(chunkRows, height - first);
            for (uint32_t r = 0; r < count; ++r) {
                rowSource(first + r, std::span<float>(rows).subspan(std::size_t{r} * rowFloats, rowFloats));
            }
            exr_chunk_info_t chunk{};
            check(exr_write_scanline_chunk_info(context.get(), part, static_cast<int>(first), &chunk));
            if (!encoder.started) {
                check(exr_encoding_initialize(context.get(), part, &chunk, &encoder.pipeline));
                encoder.started = true;
            } else {
                check(exr_encoding_update(context.get(), part, &chunk, &encoder.pipeline));
            }
            // The library keeps its channels in name order; each reads its
            // component of the interleaved rows.
            for (int16_t c = 0; c < encoder.pipeline.channel_count; ++c) {
                exr_coding_channel_info_t& channel = encoder.pipeline.channels[c];
                const std::string_view name = channel.channel_name;
                const std::size_t component = name == "R" ? 0 : name == "G" ? 1 : 2;
                channel.encode_from_ptr = reinterpret_cast<const uint8_t*>(rows.data() + component);
                channel.user_pixel_stride = 3 * sizeof(float);
                channel.user_line_stride = static_cast<int32_t>(3 * sizeof(float) * width);
                channel.user_data_type = EXR_PIXEL_FLOAT;
                channel.user_bytes_per_element = sizeof(float);
            }
            if (first == 0) {
                check(exr_encoding_choose_default_routines(context.get(), part, &encoder.pipeline));
                if (encoder.pipeline.compress_fn != nullptr) {
                    encoder.libraryCompress = encoder.pipeline.compress_fn;
                    encoder.pipeline.compress_fn = storedChunk;
                    encoder.pipeline.encoding_user_data = &encoder;
                }
            }
            check(exr_encoding_run(context.get(), part, &encoder.pipeline));
        }
    }
    exr_context_t done = context.release();
    check(exr_finish(&done));
    return std::move(sink.bytes);
}

}  // namespace lumenpull
