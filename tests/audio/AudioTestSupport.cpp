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

Stereo renderFrames(AudioEngine& engine, std::uint32_t frames, std::uint32_t block) {
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::uint32_t at = 0; at < frames; at += block) {
        const std::uint32_t count = std::min(block, frames - at);
        engine.render(out.left.data() + at, out.right.data() + at, count);
    }
    return out;
}

void startOffline(AudioEngine& engine) {
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

bool encodeFrame(AVCodecContext* codec, AVFormatContext* format, AVStream* stream,
                 const AVFrame* frame) {
    if (avcodec_send_frame(codec, frame) < 0)
        return false;
    AVPacket* packet = av_packet_alloc();
    bool ok = true;
    for (;;) {
        const int result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0) {
            ok = false;
            break;
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        ok = av_interleaved_write_frame(format, packet) >= 0 && ok;
    }
    av_packet_free(&packet);
    return ok;
}

// Copies interleaved float frames into a frame of the encoder's sample format.
void fillFrame(AVFrame* frame, const std::vector<float>& interleaved, std::size_t first,
               int channels) {
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            const float s = interleaved[(first + static_cast<std::size_t>(i)) * channels +
                                        static_cast<std::size_t>(c)];
            switch (frame->format) {
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->data[c])[i] = s;
                break;
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<std::int16_t*>(frame->data[c])[i] =
                    static_cast<std::int16_t>(std::lround(s * 32767.0f));
                break;
            case AV_SAMPLE_FMT_S32P:
                reinterpret_cast<std::int32_t*>(frame->data[c])[i] =
                    static_cast<std::int32_t>(std::lround(s * 2147483520.0));
                break;
            default:
                break;
            }
        }
    }
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
    codec->sample_fmt = encoder->sample_fmts[0];
    codec->time_base = AVRational{1, rate};
    codec->bit_rate = 192000;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    bool ok = avcodec_open2(codec, encoder, nullptr) >= 0 &&
              avcodec_parameters_from_context(stream->codecpar, codec) >= 0 &&
              avio_open(&format->pb, file.c_str(), AVIO_FLAG_WRITE) >= 0;
    stream->time_base = codec->time_base;
    ok = ok && avformat_write_header(format, nullptr) >= 0;

    AVFrame* frame = av_frame_alloc();
    const std::size_t total = interleaved.size() / static_cast<std::size_t>(channels);
    const int chunk = codec->frame_size > 0 ? codec->frame_size : 1024;
    for (std::size_t at = 0; ok && at < total; at += static_cast<std::size_t>(chunk)) {
        frame->nb_samples = static_cast<int>(std::min<std::size_t>(chunk, total - at));
        frame->format = codec->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
        frame->sample_rate = rate;
        frame->pts = static_cast<std::int64_t>(at);
        ok = av_frame_get_buffer(frame, 0) >= 0;
        if (ok) {
            fillFrame(frame, interleaved, at, channels);
            ok = encodeFrame(codec, format, stream, frame);
        }
        av_frame_unref(frame);
    }
    ok = ok && encodeFrame(codec, format, stream, nullptr);
    ok = ok && av_write_trailer(format) >= 0;
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format->pb != nullptr)
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
