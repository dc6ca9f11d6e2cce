#include "soundfixtures.h"

#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

#include "foundation/zrstd.h"

namespace fixtures {

std::vector<int16_t> Tone(uint32_t frames, uint32_t channels, uint32_t rate, double hz,
                          double amplitude) {
    std::vector<int16_t> out(size_t{frames} * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
        for (uint32_t c = 0; c < channels; ++c)
            out[size_t{i} * channels + c] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

Bytes ToBytes(const std::vector<int16_t>& samples) {
    Bytes b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        ZRPutLE16(&b[2 * i], static_cast<uint16_t>(samples[i]));
    return b;
}

std::vector<int16_t> ToSamples(const Bytes& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(ZRGetLE16(&bytes[2 * i]));
    return s;
}

Bytes PcmFormatBody(uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b(16);
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    ZRPutLE16(&b[0], 1);
    ZRPutLE16(&b[2], channels);
    ZRPutLE32(&b[4], rate);
    ZRPutLE32(&b[8], rate * align);
    ZRPutLE16(&b[12], align);
    ZRPutLE16(&b[14], bits);
    return b;
}

Bytes Riff(const std::vector<Chunk>& chunks) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Chunk& c : chunks) {
        out.insert(out.end(), c.id.begin(), c.id.end());
        uint8_t size[4];
        ZRPutLE32(size, static_cast<uint32_t>(c.body.size()));
        out.insert(out.end(), size, size + 4);
        out.insert(out.end(), c.body.begin(), c.body.end());
        if (c.body.size() & 1) out.push_back(0);
    }
    ZRPutLE32(&out[4], static_cast<uint32_t>(out.size() - 8));
    return out;
}

Bytes PcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data) {
    return Riff({{"fmt ", PcmFormatBody(channels, rate, bits)}, {"data", data}});
}

namespace {

void FlushPages(ogg_stream_state& os, Bytes& out) {
    ogg_page page;
    while (ogg_stream_flush(&os, &page)) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }
}

}  // namespace

Bytes EncodeVorbis(const std::vector<int16_t>& samples, uint32_t channels, uint32_t rate,
                   int serial) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.3f) != 0) std::abort();
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_packet header, comments, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &code);
    Bytes out;
    FlushPages(os, out);

    const size_t frames = samples.size() / channels;
    for (size_t at = 0;;) {
        const size_t n = std::min<size_t>(1024, frames - at);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (uint32_t c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(at + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            at += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
            }
        }
        FlushPages(os, out);  // small pages, so that cut files keep whole ones
        if (n == 0) break;
    }
    FlushPages(os, out);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

bool HaveSox() { return std::system("command -v sox >/dev/null 2>&1") == 0; }

Bytes Sox(const std::string& outputOptions, const std::string& extension, double seconds) {
    const char* dir = std::getenv("TMPDIR");
    static int counter = 0;
    const std::string path = std::string(dir ? dir : "/tmp") + "/zrsound_" +
                             std::to_string(getpid()) + "_" + std::to_string(++counter) + "." +
                             extension;
    const std::string cmd = "sox -n " + outputOptions + " '" + path + "' synth " +
                            std::to_string(seconds) + " sine 440 vol 0.4 2>/dev/null";
    Bytes out;
    if (std::system(cmd.c_str()) == 0) {
        std::ifstream f(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(path.c_str());
    return out;
}

Bytes SoxDecode(const Bytes& file, const std::string& type) {
    const char* dir = std::getenv("TMPDIR");
    const std::string base =
        std::string(dir ? dir : "/tmp") + "/zrsoxdec_" + std::to_string(getpid()) + "_";
    const std::string in = base + "in." + type, out = base + "out.raw";
    {
        std::ofstream f(in, std::ios::binary);
        f.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    Bytes pcm;
    const std::string cmd =
        "sox '" + in + "' -t raw -e signed-integer -b 16 -L '" + out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) == 0) {
        std::ifstream f(out, std::ios::binary);
        pcm.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return pcm;
}

double ToneShare(const std::vector<int16_t>& samples, uint32_t channels, uint32_t channel,
                 uint32_t rate, double hz) {
    // Goertzel power at hz against the total power (Parseval), on one channel.
    const size_t n = samples.size() / channels;
    if (n == 0) return 0;
    const double w = 2 * std::numbers::pi * hz / rate;
    double s1 = 0, s2 = 0, total = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = samples[i * channels + channel];
        total += x * x;
        const double s = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return total > 0 ? 2 * power / (n * total) : 0;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

Bytes ReadAll(ZRStream& s, int piece) {
    Bytes out;
    Bytes buf(piece);
    for (int n; (n = s.Read(buf.data(), piece)) > 0;) out.insert(out.end(), buf.data(), buf.data() + n);
    return out;
}

}  // namespace fixtures
