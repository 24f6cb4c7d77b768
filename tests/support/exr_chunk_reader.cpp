#include "support/exr_chunk_reader.h"

#include <openexr.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace lumenpull::test {

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

void quiet(exr_const_context_t, exr_result_t, const char*) {}

struct ContextEnd {
    void operator()(exr_context_t context) const { exr_finish(&context); }
};

void check(exr_result_t result, const char* step) {
    if (result != EXR_ERR_SUCCESS) {
        throw std::runtime_error(std::string(step) + ": " + exr_get_error_code_as_string(result));
    }
}

}  // namespace

ExrPicture readExrRgb(std::span<const uint8_t> file) {
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.user_data = &file;
    init.read_fn = readFromMemory;
    init.size_fn = sizeOfMemory;
    init.error_handler_fn = quiet;
    exr_context_t raw = nullptr;
    const exr_result_t started = exr_start_read(&raw, "memory", &init);
    std::unique_ptr<std::remove_pointer_t<exr_context_t>, ContextEnd> context(raw);
    check(started, "start");

    exr_attr_box2i_t window{};
    check(exr_get_data_window(context.get(), 0, &window), "data window");
    ExrPicture picture;
    picture.width = window.max.x - window.min.x + 1;
    picture.height = window.max.y - window.min.y + 1;
    picture.rgb.assign(std::size_t(picture.width) * std::size_t(picture.height) * 3, 0.0f);
    int32_t rowsPerChunk = 0;
    check(exr_get_scanlines_per_chunk(context.get(), 0, &rowsPerChunk), "scanlines per chunk");

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

    for (int32_t y = window.min.y; y <= window.max.y; y += rowsPerChunk) {
        exr_chunk_info_t chunk{};
        check(exr_read_scanline_chunk_info(context.get(), 0, y, &chunk), "chunk info");
        picture.chunks.push_back({chunk.packed_size, chunk.unpacked_size});
        if (!pipelineStarted) {
            check(exr_decoding_initialize(context.get(), 0, &chunk, &pipeline), "decoding");
            pipelineStarted = true;
        } else {
            check(exr_decoding_update(context.get(), 0, &chunk, &pipeline), "decoding");
        }
        const std::size_t firstRow = std::size_t(chunk.start_y - window.min.y);
        for (int16_t c = 0; c < pipeline.channel_count; ++c) {
            exr_coding_channel_info_t& channel = pipeline.channels[c];
            const std::string_view name = channel.channel_name;
            const std::size_t component = name == "R" ? 0 : name == "G" ? 1 : name == "B" ? 2 : 3;
            if (component == 3 || channel.data_type != EXR_PIXEL_FLOAT) {
                throw std::runtime_error("not an RGB float picture");
            }
            channel.decode_to_ptr =
                reinterpret_cast<uint8_t*>(picture.rgb.data() + firstRow * std::size_t(picture.width) * 3 + component);
            channel.user_pixel_stride = 3 * sizeof(float);
            channel.user_line_stride = static_cast<int32_t>(3 * sizeof(float) * std::size_t(picture.width));
            channel.user_data_type = EXR_PIXEL_FLOAT;
            channel.user_bytes_per_element = sizeof(float);
        }
        if (y == window.min.y) check(exr_decoding_choose_default_routines(context.get(), 0, &pipeline), "routines");
        check(exr_decoding_run(context.get(), 0, &pipeline), "decode");
    }
    return picture;
}

}  // namespace lumenpull::test
