#include "AudioTestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace tamborel::audio::testing {

SharedSampleBuffer constantBuffer(float level, std::uint32_t frames, double rate) {
    auto buffer = SampleBuffer::allocate({rate, 2}, frames);
    for (std::uint32_t c = 0; c < 2; ++c)
        std::fill_n(buffer->channel(c), frames, level);
    buffer->setFrameLength(frames);
    return buffer;
}

std::vector<float> sine(double frequency, double rate, std::uint32_t frames, float amplitude) {
    std::vector<float> samples(frames);
    for (std::uint32_t i = 0; i < frames; ++i)
        samples[i] = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency *
                                                             static_cast<double>(i) / rate));
    return samples;
}

double measuredFrequency(const float* samples, std::size_t count, double rate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t i = count / 4; i + 1 < count * 3 / 4; ++i) {
        if (samples[i] < 0.0f && samples[i + 1] >= 0.0f) {
            const double at = static_cast<double>(i) + samples[i] / (samples[i] - samples[i + 1]);
            if (first < 0.0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * rate / (last - first);
}

Stereo renderFrames(AudioRenderer& engine, std::uint32_t frames, std::uint32_t block) {
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::uint32_t at = 0; at < frames; at += block) {
        const std::uint32_t count = std::min(block, frames - at);
        renderStereo(engine, out.left.data() + at, out.right.data() + at, count);
    }
    return out;
}

void startOffline(AudioRenderer& engine) {
    engine.prepareToRender(48000.0, 256);
    engine.renderingStarted();
}

std::filesystem::path scratchFolder(const std::string& name) {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path folder = std::filesystem::path(data ? data : "/tmp") / "audio" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

namespace {

// Sends a frame (none: the end of the stream) and writes the packets that come out.
bool encode(AVCodecContext* codec, AVFormatContext* format, const AVFrame* frame) {
    bool ok = avcodec_send_frame(codec, frame) >= 0;
    AVPacket* packet = av_packet_alloc();
    while (ok && avcodec_receive_packet(codec, packet) == 0) {
        av_packet_rescale_ts(packet, codec->time_base, format->streams[0]->time_base);
        ok = av_interleaved_write_frame(format, packet) >= 0;
    }
    av_packet_free(&packet);
    return ok;
}

} // namespace

bool writeM4a(const std::filesystem::path& file, const char* codecName, int rate, int channels,
              const std::vector<float>& interleaved) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(codecName);
    AVFormatContext* format = nullptr;
    if (encoder == nullptr ||
        avformat_alloc_output_context2(&format, nullptr, "ipod", file.c_str()) < 0)
        return false;
    AVStream* stream = avformat_new_stream(format, nullptr);
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    codec->sample_rate = rate;
    av_channel_layout_default(&codec->ch_layout, channels);
    // AAC takes floats, ALAC 16-bit samples; both a plane per channel.
    const bool floats = encoder->id == AV_CODEC_ID_AAC;
    codec->sample_fmt = floats ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16P;
    codec->time_base = stream->time_base = AVRational{1, rate};
    codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER; // an MP4 keeps the codec setup in its header
    bool ok = avcodec_open2(codec, encoder, nullptr) >= 0 &&
              avcodec_parameters_from_context(stream->codecpar, codec) >= 0 &&
              avio_open(&format->pb, file.c_str(), AVIO_FLAG_WRITE) >= 0 &&
              avformat_write_header(format, nullptr) >= 0;
    AVFrame* frame = av_frame_alloc();
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t total = interleaved.size() / width;
    const std::size_t chunk =
        codec->frame_size > 0 ? static_cast<std::size_t>(codec->frame_size) : 1024;
    for (std::size_t at = 0; ok && at < total; at += chunk) {
        frame->nb_samples = static_cast<int>(std::min(chunk, total - at));
        frame->format = codec->sample_fmt;
        frame->sample_rate = rate;
        frame->pts = static_cast<std::int64_t>(at);
        ok = av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) >= 0 &&
             av_frame_get_buffer(frame, 0) >= 0;
        for (std::size_t c = 0; ok && c < width; ++c)
            for (std::size_t i = 0; i < static_cast<std::size_t>(frame->nb_samples); ++i) {
                const float s = interleaved[(at + i) * width + c];
                if (floats)
                    reinterpret_cast<float*>(frame->data[c])[i] = s;
                else
                    reinterpret_cast<std::int16_t*>(frame->data[c])[i] =
                        static_cast<std::int16_t>(std::lround(s * 32767.0f));
            }
        ok = ok && encode(codec, format, frame);
        av_frame_unref(frame);
    }
    ok = ok && encode(codec, format, nullptr) && av_write_trailer(format) >= 0;
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

std::vector<float> interleave(const std::vector<float>& mono, int channels) {
    std::vector<float> out(mono.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < mono.size(); ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = mono[i];
    return out;
}

} // namespace tamborel::audio::testing
