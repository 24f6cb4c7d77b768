#include <openexr.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

namespace lumenpull {

namespace {

int64_t readFromMemory(exr_const_context_t, void* userData, void* buffer, uint64_t size, uint64_t offset,
                       exr_stream_error_func_ptr_t) {
    const auto& file = *static_cast<const std::span<const uint8_t>*>(userData);
    if (offset >= file.size()) return 0;
    const uint64_t count = std::min<uint64_t>(size, file.size() - offset);
    std::memcpy(buffer, file.data() + offset, static_cast<std::size_t>(count));
    return static_cast<int64_t>(count);
}

int64_t sizeOfMemory(exr_const_context_t, void* userData) {
    return static_cast<int64_t>(static_cast<const std::span<const uint8_t>*>(userData)->size());
}

// The library's own messages go nowhere: the one-line error says it.
void quiet(exr_const_context_t, exr_result_t, const char*) {}

struct ContextEnd {
    void operator()(exr_context_t context) const { exr_finish(&context); }
};

void check(exr_result_t result) {
    if (result != EXR_ERR_SUCCESS)
        throw Error(std::string("Unreadable OpenEXR file: ") + exr_get_error_code_as_string(result));
}

// ZIP and the other codings turn a byte into at most about a thousand.
constexpr uint64_t kCodingRatio = 1100;

}  // namespace

Picture readExr(std::span<const uint8_t> file) {
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.user_data = &file;
    init.read_fn = readFromMemory;
    init.size_fn = sizeOfMemory;
    init.error_handler_fn = quiet;
    exr_context_t raw = nullptr;
    const exr_result_t started = exr_start_read(&raw, "picture", &init);
    const std::unique_ptr<std::remove_pointer_t<exr_context_t>, ContextEnd> context(raw);
    check(started);
    exr_storage_t storage{};
    check(exr_get_storage(context.get(), 0, &storage));
    if (storage != EXR_STORAGE_SCANLINE) throw Error("OpenEXR file not read (only scanline pictures)");

    exr_attr_box2i_t window{};
    check(exr_get_data_window(context.get(), 0, &window));
    const int64_t width = int64_t{window.max.x} - window.min.x + 1;
    const int64_t height = int64_t{window.max.y} - window.min.y + 1;
    if (width <= 0 || height <= 0) throw Error("OpenEXR picture without pixels");
    checkDecodedSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), 12, file.size(), kCodingRatio,
                     "OpenEXR");
    // Red, green and blue must all be there, as anything else would be a
    // picture of another kind; other channels (alpha) are left out.
    const exr_attr_chlist_t* channels = nullptr;
    check(exr_get_channels(context.get(), 0, &channels));
    int found = 0;
    for (int c = 0; c < channels->num_channels; ++c) {
        const std::string_view name(channels->entries[c].name.str,
                                    static_cast<std::size_t>(channels->entries[c].name.length));
        if (name == "R" || name == "G" || name == "B") {
            if (channels->entries[c].x_sampling != 1 || channels->entries[c].y_sampling != 1) {
                throw Error("OpenEXR channels with subsampling are not read");
            }
            ++found;
        }
    }
    if (found != 3) throw Error("OpenEXR file without red, green and blue channels");

    Image image;
    image.shape = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), PixelLayout::RgbFloat};
    image.floats.assign(static_cast<std::size_t>(valuesOf(image.shape)), 0.0f);
    int32_t rowsPerChunk = 0;
    check(exr_get_scanlines_per_chunk(context.get(), 0, &rowsPerChunk));
    if (rowsPerChunk <= 0) throw Error("Unreadable OpenEXR file");

    exr_decode_pipeline_t pipeline{};
    bool pipelineStarted = false;
    struct PipelineEnd {
        exr_const_context_t context;
        exr_decode_pipeline_t* pipeline;
        bool* started;
        ~PipelineEnd() {
            if (*started) exr_decoding_destroy(context, pipeline);
        }
    } end{context.get(), &pipeline, &pipelineStarted};

    for (int64_t y = window.min.y; y <= window.max.y; y += rowsPerChunk) {
        exr_chunk_info_t chunk{};
        check(exr_read_scanline_chunk_info(context.get(), 0, static_cast<int>(y), &chunk));
        if (!pipelineStarted) {
            check(exr_decoding_initialize(context.get(), 0, &chunk, &pipeline));
            pipelineStarted = true;
        } else {
            check(exr_decoding_update(context.get(), 0, &chunk, &pipeline));
        }
        if (chunk.start_y < window.min.y || chunk.start_y + chunk.height - 1 > window.max.y) {
            throw Error("Damaged OpenEXR file");
        }
        const auto firstRow = static_cast<std::size_t>(int64_t{chunk.start_y} - window.min.y);
        for (int16_t c = 0; c < pipeline.channel_count; ++c) {
            exr_coding_channel_info_t& channel = pipeline.channels[c];
            const std::string_view name = channel.channel_name;
            const std::size_t component = name == "R" ? 0 : name == "G" ? 1 : name == "B" ? 2 : 3;
            if (component == 3) {
                channel.decode_to_ptr = nullptr;  // not decoded
                continue;
            }
            channel.decode_to_ptr = reinterpret_cast<uint8_t*>(
                image.floats.data() + firstRow * static_cast<std::size_t>(width) * 3 + component);
            channel.user_pixel_stride = 3 * sizeof(float);
            channel.user_line_stride = static_cast<int32_t>(3 * sizeof(float) * static_cast<std::size_t>(width));
            channel.user_data_type = EXR_PIXEL_FLOAT;
            channel.user_bytes_per_element = sizeof(float);
        }
        check(exr_decoding_choose_default_routines(context.get(), 0, &pipeline));
        check(exr_decoding_run(context.get(), 0, &pipeline));
    }
    Picture picture;
    picture.images.push_back(std::move(image));
    return picture;
}

}  // namespace lumenpull
