#include "image/exr_writer.h"

#include <openexr.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "image/hdr_row.h"
#include "image/image_file_name.h"
#include "image/output_file.h"
#include "image/source_bytes.h"

namespace lumenpull {

namespace {

// What the library's callbacks fill in. Its table of chunk offsets comes
// before the chunks but is only known after them, so the library goes back
// to write it at the end; the file is assembled here and then written
// through an OutputFile in one piece.
struct ExrSink {
    std::vector<uint8_t> bytes;
    std::string error;  // the library's last message
};

// The callbacks run inside C code: nothing may be thrown through it.
int64_t writeToSink(exr_const_context_t context, void* userData, const void* buffer, uint64_t size, uint64_t offset,
                    exr_stream_error_func_ptr_t error) {
    auto& bytes = static_cast<ExrSink*>(userData)->bytes;
    if (size > uint64_t{std::numeric_limits<std::size_t>::max()} - offset ||
        size > uint64_t{std::numeric_limits<int64_t>::max()}) {
        error(context, EXR_ERR_OUT_OF_MEMORY, "file too large to assemble in memory");
        return -1;
    }
    const auto end = static_cast<std::size_t>(offset + size);
    try {
        if (end > bytes.size()) bytes.resize(end);
    } catch (const std::bad_alloc&) {
        error(context, EXR_ERR_OUT_OF_MEMORY, "out of memory");
        return -1;
    }
    if (size != 0) std::memcpy(bytes.data() + offset, buffer, static_cast<std::size_t>(size));
    return static_cast<int64_t>(size);
}

// Keeps the message for the exception; the library would print it to
// standard error, which the tool never uses.
void keepError(exr_const_context_t context, exr_result_t, const char* message) {
    void* userData = nullptr;
    if (exr_get_user_data(context, &userData) != EXR_ERR_SUCCESS || userData == nullptr) return;
    try {
        static_cast<ExrSink*>(userData)->error = message;
    } catch (const std::bad_alloc&) {
    }
}

struct ContextEnd {
    void operator()(exr_context_t context) const { exr_finish(&context); }
};
using ExrContext = std::unique_ptr<std::remove_pointer_t<exr_context_t>, ContextEnd>;

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
};

struct ExrGeometry {
    uint32_t width;
    uint32_t height;
    uint64_t rowBytes;    // stored bytes of one row
    uint64_t imageBytes;  // stored bytes of one image
};

ExrGeometry exrGeometry(const TextureImage& texture) {
    ExrGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    if (g.width == 0 || g.height == 0) throw std::string("An image of no pixels has no EXR output");
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;
    return g;
}

void encodeExr(ExrSink& sink, const std::string& path, const TextureImage& texture, const ExrGeometry& g,
               uint32_t image, const HdrRowDecoder& decoder) {
    const auto check = [&](exr_result_t result) {
        if (result == EXR_ERR_SUCCESS) return;
        const std::string reason = sink.error.empty() ? exr_get_error_code_as_string(result) : sink.error;
        throw "Error writing output file: " + path + ": " + reason;
    };
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.error_handler_fn = keepError;
    init.user_data = &sink;
    init.write_fn = writeToSink;
    init.zip_level = 4;  // the full library's level (the core would take zlib's default, 6)
    exr_context_t raw = nullptr;
    const exr_result_t started = exr_start_write(&raw, path.c_str(), EXR_WRITE_FILE_DIRECTLY, &init);
    ExrContext context(raw);
    check(started);

    int part = 0;
    check(exr_add_part(context.get(), nullptr, EXR_STORAGE_SCANLINE, &part));
    check(exr_initialize_required_attr_simple(context.get(), part, static_cast<int32_t>(g.width),
                                              static_cast<int32_t>(g.height), EXR_COMPRESSION_ZIP));
    for (const char* name : {"R", "G", "B"}) {
        check(exr_add_channel(context.get(), part, name, EXR_PIXEL_FLOAT, EXR_PERCEPTUALLY_LOGARITHMIC, 1, 1));
    }
    check(exr_set_lineorder(context.get(), part, EXR_LINEORDER_INCREASING_Y));
    check(exr_write_header(context.get()));

    int32_t rowsPerChunk = 0;
    check(exr_get_scanlines_per_chunk(context.get(), part, &rowsPerChunk));
    const auto chunkRows = static_cast<uint32_t>(std::max(rowsPerChunk, 1));
    {  // the encoder goes before the context
        std::vector<LinearRgb> linear(g.width);
        std::vector<float> rows(std::size_t{g.width} * 3 * chunkRows);
        Encoder encoder(context.get());
        for (uint32_t first = 0; first < g.height; first += chunkRows) {
            const uint32_t count = std::min(chunkRows, g.height - first);
            for (uint32_t r = 0; r < count; ++r) {
                const auto source =
                    clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, first + r, g.rowBytes));
                decoder.decodeRow(source, linear, g.width);
                float* row = &rows[std::size_t{r} * g.width * 3];
                for (uint32_t x = 0; x < g.width; ++x) {
                    row[3 * x] = static_cast<float>(linear[x].red);
                    row[3 * x + 1] = static_cast<float>(linear[x].green);
                    row[3 * x + 2] = static_cast<float>(linear[x].blue);
                }
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
                channel.user_line_stride = static_cast<int32_t>(3 * sizeof(float) * g.width);
                channel.user_data_type = EXR_PIXEL_FLOAT;
                channel.user_bytes_per_element = sizeof(float);
            }
            if (first == 0) check(exr_encoding_choose_default_routines(context.get(), part, &encoder.pipeline));
            check(exr_encoding_run(context.get(), part, &encoder.pipeline));
        }
    }
    exr_context_t done = context.release();
    check(exr_finish(&done));
}

void writeExrImage(ImageOutput& output, const std::string& path, const TextureImage& texture, const ExrGeometry& g,
                   uint32_t image, const HdrRowDecoder& decoder) {
    OutputFile file(output, path);  // created first: a file that cannot be is reported before any work
    ExrSink sink;
    encodeExr(sink, path, texture, g, image, decoder);
    file.write(sink.bytes);
    file.finish();
}

}  // namespace

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent) {
    ImageOutput output;
    return writeExr(imageName, texture, sharedExponent, output);
}

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                 ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const ExrGeometry g = exrGeometry(texture);
    const HdrRowDecoder decoder(sharedExponent);

    const std::size_t length = texture.pixelData.size();
    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, length);
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        ExrGeometry w = g;
        w.height = static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
        writeExrImage(output, imageFileName(imageName, i, texture.imageCount, "exr"), texture, w, image, decoder);
    }
    return files;
}

void listExrFiles(const std::string& imageName, const TextureImage& texture, const ImageOutput& output,
                  ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    const ExrGeometry g = exrGeometry(texture);
    const int32_t count = imagesWithData(texture.imageCount, g.imageBytes, texture.pixelData.size());
    for (int32_t i = 0; i < count; ++i) output.list(imageFileName(imageName, i, texture.imageCount, "exr"), files);
}

}  // namespace lumenpull
