// Writes an Ogg Vorbis file holding a sine tone, for the decoder tests:
//   make_ogg_tone OUT SECONDS CHANNELS RATE HZ
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "vorbis/vorbisenc.h"

static bool write_page(FILE* out, const ogg_page& page) {
    return fwrite(page.header, 1, page.header_len, out) == static_cast<size_t>(page.header_len) &&
           fwrite(page.body, 1, page.body_len, out) == static_cast<size_t>(page.body_len);
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: make_ogg_tone OUT SECONDS CHANNELS RATE HZ\n");
        return 2;
    }
    const double seconds = atof(argv[2]);
    const int channels = atoi(argv[3]);
    const long rate = atol(argv[4]);
    const double hz = atof(argv[5]);
    FILE* out = fopen(argv[1], "wb");
    if (!out || channels < 1 || rate < 1) return 1;

    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) return 1;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);

    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comment);
    ogg_stream_packetin(&os, &code);
    ogg_page page;
    while (ogg_stream_flush(&os, &page) != 0) write_page(out, page);

    const long total = static_cast<long>(seconds * rate);
    long done = 0;
    bool eos = false;
    while (!eos) {
        long n = total - done < 1024 ? total - done : 1024;
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i) {
                float v = static_cast<float>(0.5 * sin(2 * M_PI * hz * (done + i) / rate));
                for (int c = 0; c < channels; ++c) buffer[c][i] = v;
            }
            done += n;
        }
        vorbis_analysis_wrote(&vd, static_cast<int>(n));
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (!eos && ogg_stream_pageout(&os, &page) != 0) {
                    write_page(out, page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            // Everything is written once the encoder has flushed its last page.
            while (ogg_stream_flush(&os, &page) != 0) {
                write_page(out, page);
                if (ogg_page_eos(&page)) eos = true;
            }
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return fclose(out) == 0 ? 0 : 1;
}
