// Reading RIFF/WAVE and AIFF sample files into interleaved float32 samples scaled to -1 .. +1.
//
// The sample loader uses it twice per file: a header query for the rate, channel count and
// length, then a read of the range it wants. Nothing is reported from here; the callers name the
// file in their own messages. Checking the channel count (mono or stereo) is the caller's job.
//
// Accepted: WAV PCM 8 (unsigned), 16, 24, 32 bits, WAV IEEE float 32 and 64 bits, either with a
// plain format chunk or a WAVE_FORMAT_EXTENSIBLE one whose sub-format is PCM or IEEE float;
// AIFF PCM 8, 16, 24, 32 bits (AIFF-C is not read). The format chunk may stand anywhere before
// the sample chunk; other chunks are skipped, honouring the pad byte after odd-sized chunks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tess {

struct AudioFileInfo {
    float sampleRate = 0.0f;  // whole hertz
    int channels = 0;
    std::int64_t count = 0;  // samples of all channels together (interleaved), whole frames only
    int bits = 0;            // bits per stored sample: 8, 16, 24, 32 or 64
    int formatTag = 0;       // 1 integer PCM, 3 IEEE float (an extensible header is resolved)
};

// Reads the header only. Fails (nullopt) on a missing or unreadable file, an unknown container
// or encoding, an inconsistent format chunk, or a sample chunk that is missing or runs past the
// end of the file.
std::optional<AudioFileInfo> queryAudioFile(const std::string& path);

// Reads samples start .. last - 1 (interleaved sample indices, normally multiples of the channel
// count), where last is `end` when 0 <= end < count and the whole count otherwise; a start past
// last is lowered to last. A read that would deliver no sample fails, as does a negative start.
// On success `samples` holds exactly last - start values and `info`, when given, describes the
// whole file; on failure neither is touched.
bool readAudioFile(const std::string& path, std::int64_t start, std::int64_t end,
                   std::vector<float>& samples, AudioFileInfo* info = nullptr);

}  // namespace tess
