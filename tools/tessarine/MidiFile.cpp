#include "tessarine/MidiFile.h"

#include <algorithm>
#include <cstdio>

#include "tessarine/FileBytes.h"

namespace tess::tool {
namespace {

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

// A bounded cursor over one chunk's bytes; every read checks the remaining length.
class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return size_ - position_; }
    bool atEnd() const { return position_ >= size_; }

    bool byte(unsigned& value) {
        if (position_ >= size_) return false;
        value = data_[position_++];
        return true;
    }
    bool peek(unsigned& value) const {
        if (position_ >= size_) return false;
        value = data_[position_];
        return true;
    }
    bool skip(std::size_t count) {
        if (count > remaining()) return false;
        position_ += count;
        return true;
    }
    const unsigned char* here() const { return data_ + position_; }

    // Variable-length quantity: at most four bytes, seven bits each.
    bool variableLength(std::uint32_t& value, bool& tooLong) {
        value = 0;
        tooLong = false;
        for (int i = 0; i < 4; ++i) {
            unsigned b;
            if (!byte(b)) return false;
            value = (value << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0) return true;
        }
        tooLong = true;
        return false;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}
unsigned bigEndian16(const unsigned char* p) { return (unsigned(p[0]) << 8) | unsigned(p[1]); }

int dataBytesOf(unsigned status) {
    const unsigned kind = status & 0xF0u;
    return (kind == 0xC0u || kind == 0xD0u) ? 1 : 2;
}

struct TrackResult {
    std::vector<MidiMessage> messages;
    std::vector<TempoEvent> tempos;
    std::vector<TimeSignatureEvent> signatures;
    std::int64_t endTick = 0;
};

// Meta and system-exclusive events leave the running status as it was: files that rely on it
// across them are common, and reading them that way is what their authors meant.
bool parseTrack(const unsigned char* data, std::size_t size, int trackIndex, TrackResult& out,
                std::string& error) {
    const std::string where = "track " + std::to_string(trackIndex + 1);
    Reader in(data, size);
    std::int64_t tick = 0;
    unsigned runningStatus = 0;
    auto fail = [&](const std::string& what) {
        error = where + ", byte " + std::to_string(in.position()) + " of the track: " + what;
        return false;
    };

    while (!in.atEnd()) {
        std::uint32_t delta;
        bool tooLong;
        if (!in.variableLength(delta, tooLong))
            return fail(tooLong ? "delta time longer than four bytes" : "track ends inside a delta time");
        tick += delta;
        out.endTick = tick;

        unsigned first;
        if (!in.peek(first)) return fail("track ends after a delta time, before its event");

        if (first == 0xFF) {  // meta event
            in.skip(1);
            unsigned type;
            if (!in.byte(type)) return fail("track ends inside a meta event");
            std::uint32_t length;
            if (!in.variableLength(length, tooLong))
                return fail(tooLong ? "meta event length longer than four bytes"
                                    : "track ends inside a meta event length");
            if (length > in.remaining())
                return fail("meta event of " + std::to_string(length) + " bytes runs past the track's end (" +
                            std::to_string(in.remaining()) + " bytes left)");
            const unsigned char* body = in.here();
            in.skip(length);
            if (type == 0x2F) return true;  // end of track: anything after it is ignored
            if (type == 0x51 && length == 3) {
                const std::uint32_t micros = (std::uint32_t(body[0]) << 16) | (std::uint32_t(body[1]) << 8) | body[2];
                if (micros > 0) out.tempos.push_back({tick, micros});
            } else if (type == 0x58 && length >= 2) {
                const int numerator = body[0];
                const int power = body[1];
                if (numerator > 0 && power <= 6) out.signatures.push_back({tick, numerator, 1 << power});
            }
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {  // system exclusive, or an escaped byte sequence
            in.skip(1);
            std::uint32_t length;
            if (!in.variableLength(length, tooLong))
                return fail(tooLong ? "system exclusive length longer than four bytes"
                                    : "track ends inside a system exclusive length");
            if (!in.skip(length))
                return fail("system exclusive of " + std::to_string(length) + " bytes runs past the track's end (" +
                            std::to_string(in.remaining()) + " bytes left)");
            continue;
        }

        unsigned status;
        if (first >= 0xF0) return fail("status byte " + hexByte(first) + " is not allowed in a MIDI file");
        if (first >= 0x80) {
            status = first;
            in.skip(1);
            runningStatus = status;
        } else {
            if (runningStatus == 0) return fail("data byte " + hexByte(first) + " without a status (no running status)");
            status = runningStatus;
        }

        MidiMessage message;
        message.tick = tick;
        message.status = static_cast<std::uint8_t>(status);
        message.track = trackIndex;
        const int count = dataBytesOf(status);
        message.size = static_cast<std::uint8_t>(count + 1);
        unsigned values[2] = {0, 0};
        for (int i = 0; i < count; ++i) {
            if (!in.byte(values[i])) return fail("track ends inside a " + hexByte(status) + " message");
            if (values[i] >= 0x80) return fail("data byte " + hexByte(values[i]) + " of a " + hexByte(status) + " message is above 0x7F");
        }
        message.data1 = static_cast<std::uint8_t>(values[0]);
        message.data2 = static_cast<std::uint8_t>(values[1]);
        out.messages.push_back(message);
    }
    return true;  // a track without an end-of-track event ends with its chunk
}

template <typename Event>
void mergeInto(std::vector<Event>& all, const std::vector<Event>& part) {
    all.insert(all.end(), part.begin(), part.end());
}

template <typename Event>
void sortByTick(std::vector<Event>& events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
}

}  // namespace

bool parseMidi(const unsigned char* data, std::size_t size, MidiFile& file, std::string& error) {
    file = MidiFile{};
    if (size < 14 || std::string(reinterpret_cast<const char*>(data), 4) != "MThd") {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const std::uint32_t headerLength = bigEndian32(data + 4);
    if (headerLength < 6) {
        error = "MThd header of " + std::to_string(headerLength) + " bytes is shorter than 6";
        return false;
    }
    if (headerLength > size - 8) {
        error = "MThd header of " + std::to_string(headerLength) + " bytes runs past the end of the file";
        return false;
    }
    file.format = static_cast<int>(bigEndian16(data + 8));
    const unsigned declaredTracks = bigEndian16(data + 10);
    const unsigned division = bigEndian16(data + 12);
    if (file.format == 2) {
        error = "format 2 (independent sequences) is not supported; use format 0 or 1";
        return false;
    }
    if (file.format > 2) {
        error = "unknown format " + std::to_string(file.format);
        return false;
    }
    if (division & 0x8000u) {
        error = "SMPTE time division is not supported; the file must count ticks per quarter note";
        return false;
    }
    if (division == 0) {
        error = "division of 0 ticks per quarter note";
        return false;
    }
    if (declaredTracks == 0) {
        error = "the header declares no tracks";
        return false;
    }
    file.ticksPerQuarter = static_cast<int>(division);

    std::size_t position = 8 + std::size_t(headerLength);
    unsigned tracksRead = 0;
    while (tracksRead < declaredTracks) {
        if (size - position < 8) {
            error = "file ends after " + std::to_string(tracksRead) + " of " + std::to_string(declaredTracks) +
                    " tracks";
            return false;
        }
        const std::string id(reinterpret_cast<const char*>(data + position), 4);
        const std::uint32_t length = bigEndian32(data + position + 4);
        position += 8;
        if (length > size - position) {
            error = "chunk '" + (id == "MTrk" ? id : std::string("?")) + "' at byte " + std::to_string(position - 8) +
                    " claims " + std::to_string(length) + " bytes but only " + std::to_string(size - position) +
                    " remain";
            return false;
        }
        if (id == "MTrk") {
            TrackResult track;
            if (!parseTrack(data + position, length, static_cast<int>(tracksRead), track, error)) return false;
            mergeInto(file.messages, track.messages);
            mergeInto(file.tempos, track.tempos);
            mergeInto(file.timeSignatures, track.signatures);
            file.lengthTicks = std::max(file.lengthTicks, track.endTick);
            ++tracksRead;
        }
        position += length;  // chunks of unknown type are skipped
    }
    file.trackCount = static_cast<int>(tracksRead);
    // Tracks were appended in order, so a stable sort keeps track order, then file order,
    // for events at the same tick.
    sortByTick(file.messages);
    sortByTick(file.tempos);
    sortByTick(file.timeSignatures);
    return true;
}

bool readMidiFile(const std::string& path, MidiFile& file, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    if (!parseMidi(bytes.data(), bytes.size(), file, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace tess::tool
