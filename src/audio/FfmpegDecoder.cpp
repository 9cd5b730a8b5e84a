#include "audio/Decoders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/samplefmt.h>
}

#include <mutex>
#include <string>
#include <system_error>

namespace tamborel::audio::detail {

namespace {

// Only local files, and only demuxers of audio containers: playlist and concatenation
// formats would let a crafted file make us open other files or network addresses.
constexpr const char* allowedProtocols = "file";
constexpr const char* allowedDemuxers = "mov,mp3,aac,flac,ogg,wav,w64,aiff,caf,matroska,asf,au,"
                                        "amr,ac3,eac3,dts,wv,ape,tta,mpc,mpc8";

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecCloser {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

template <typename Sample, typename ToFloat>
void convertSamples(const std::uint8_t* data, std::size_t stride, std::size_t first, float* out,
                    int count, ToFloat toFloat) {
    const auto* samples = reinterpret_cast<const Sample*>(data);
    for (int i = 0; i < count; ++i)
        out[i] = toFloat(samples[std::size_t(i) * stride + first]);
}

// Appends one decoded frame as planar float; false for a format we do not read or a frame
// that does not match the stream.
bool appendFrame(BufferBuilder& builder, const AVFrame& frame) {
    const std::uint32_t channels = builder.channelCount();
    if (frame.ch_layout.nb_channels != static_cast<int>(channels) || frame.nb_samples < 0)
        return false;
    const int count = frame.nb_samples;
    if (count == 0)
        return true;
    if (!builder.reserveMore(static_cast<std::uint64_t>(count)))
        return false;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    for (std::uint32_t c = 0; c < channels; ++c) {
        const std::uint8_t* data = planar ? frame.extended_data[c] : frame.extended_data[0];
        const std::size_t stride = planar ? 1 : channels;
        const std::size_t first = planar ? 0 : c;
        float* out = builder.channelTail(c);
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            convertSamples<std::uint8_t>(data, stride, first, out, count,
                                         [](std::uint8_t s) { return (s - 128) / 128.0f; });
            break;
        case AV_SAMPLE_FMT_S16:
            convertSamples<std::int16_t>(data, stride, first, out, count,
                                         [](std::int16_t s) { return s / 32768.0f; });
            break;
        case AV_SAMPLE_FMT_S32:
            convertSamples<std::int32_t>(data, stride, first, out, count, [](std::int32_t s) {
                return static_cast<float>(s / 2147483648.0);
            });
            break;
        case AV_SAMPLE_FMT_S64:
            convertSamples<std::int64_t>(data, stride, first, out, count, [](std::int64_t s) {
                return static_cast<float>(s / 9223372036854775808.0);
            });
            break;
        case AV_SAMPLE_FMT_FLT:
            convertSamples<float>(data, stride, first, out, count, [](float s) { return s; });
            break;
        case AV_SAMPLE_FMT_DBL:
            convertSamples<double>(data, stride, first, out, count,
                                   [](double s) { return static_cast<float>(s); });
            break;
        default:
            return false;
        }
    }
    builder.commit(static_cast<std::uint32_t>(count));
    return true;
}

// Feeds one packet (null to flush) and collects every frame it yields.
bool decodePacket(AVCodecContext& codec, const AVPacket* packet, AVFrame& frame,
                  BufferBuilder& builder) {
    if (avcodec_send_packet(&codec, packet) < 0)
        return false;
    for (;;) {
        const int received = avcodec_receive_frame(&codec, &frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        const bool appended = appendFrame(builder, frame);
        av_frame_unref(&frame);
        if (!appended)
            return false;
    }
}

} // namespace

DecodeResult decodeWithFfmpeg(const std::filesystem::path& file) {
    // FFmpeg would otherwise print its own diagnostics for every file it probes.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", allowedProtocols, 0);
    av_dict_set(&options, "format_whitelist", allowedDemuxers, 0);
    AVFormatContext* opened = nullptr;
    const std::string url = "file:" + file.string();
    const int openResult = avformat_open_input(&opened, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (openResult < 0)
        return {DecodeStatus::notOpened, nullptr};
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return {DecodeStatus::notOpened, nullptr};

    const AVCodec* decoder = nullptr;
    const int streamIndex =
        av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex < 0 || decoder == nullptr)
        return {DecodeStatus::notOpened, nullptr};
    const AVStream* stream = format->streams[streamIndex];

    std::unique_ptr<AVCodecContext, CodecCloser> codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return {};
    const int channels = codec->ch_layout.nb_channels;
    const int rate = codec->sample_rate;
    if (channels <= 0 || channels > maxFileChannels || rate <= 0 || rate > maxFileSampleRate)
        return {};

    std::uint64_t claimed = 0;
    if (stream->duration > 0)
        claimed = static_cast<std::uint64_t>(
            av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate}));
    std::error_code error;
    const std::uint64_t fileBytes = std::filesystem::file_size(file, error);
    if (error)
        return {};
    const auto channelCount = static_cast<std::uint32_t>(channels);
    BufferBuilder builder({static_cast<double>(rate), channelCount},
                          plausibleFrames(claimed, fileBytes, channelCount));

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!packet || !frame)
        return {};
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == streamIndex;
        const bool decoded = !ours || decodePacket(*codec, packet.get(), *frame, builder);
        av_packet_unref(packet.get());
        if (!decoded)
            return {};
    }
    if (!decodePacket(*codec, nullptr, *frame, builder))
        return {};
    auto buffer = builder.finish();
    if (!buffer)
        return {};
    return {DecodeStatus::decoded, std::move(buffer)};
}

} // namespace tamborel::audio::detail
