#include "sf2import/SoundFontReader.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Platform.h"
#include "samples/ByteOrder.h"
#include "sf2import/FileHandle.h"

namespace tess::sf2 {

namespace {

using bytes::le16;
using bytes::le32;

// The file being read, with the number of bytes that remain in it, so that no chunk size read
// from the bank makes us allocate more than the file can deliver.
class Input {
public:
    Input(std::FILE* file, std::uint64_t size) : file_(file), left_(size) {}

    std::uint64_t left() const { return left_; }
    std::uint64_t offset() const { return offset_; }

    bool read(void* target, std::uint64_t count) {
        if (count > left_) return false;
        if (count > 0 && std::fread(target, 1, static_cast<std::size_t>(count), file_) != count)
            return false;
        left_ -= count;
        offset_ += count;
        return true;
    }
    bool skip(std::uint64_t count) {
        if (count > left_) return false;
        if (count > 0 && std::fseek(file_, static_cast<long>(count), SEEK_CUR) != 0) return false;
        left_ -= count;
        offset_ += count;
        return true;
    }

private:
    std::FILE* file_;
    std::uint64_t left_;
    std::uint64_t offset_ = 0;
};

std::string fixedName(const unsigned char* p, std::size_t size) {
    std::string name;
    for (std::size_t i = 0; i < size && p[i] != 0; ++i) name += static_cast<char>(p[i]);
    return name;
}

bool idIs(const unsigned char* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

std::string printableText(const std::vector<unsigned char>& body) {
    std::string text;
    for (unsigned char c : body) {
        if (c == 0) break;
        text += (c < 32 || c == 127) ? '?' : static_cast<char>(c);
    }
    return text;
}

class Reader {
public:
    Reader(const std::string& path, Bank& bank, const ImportLog& log)
        : path_(path), bank_(bank), log_(log) {}

    bool run() {
        FileHandle file(platform::openRegularFile(path_));
        if (!file) {
            log_.printf("Can't open file %s...\r\n", path_.c_str());
            return false;
        }
        std::fseek(file.get(), 0, SEEK_END);
        const long size = std::ftell(file.get());
        std::fseek(file.get(), 0, SEEK_SET);
        Input input(file.get(), size > 0 ? static_cast<std::uint64_t>(size) : 0);
        in_ = &input;
        bank_ = Bank{};
        bank_.fileName = path_;
        return readRiff() && readInfo() && readSampleData() && readPresetData() &&
               validateBank(bank_, log_);
    }

private:
    bool shortRead() {
        log_.printf("Can't read more data from file %s...\r\n", path_.c_str());
        return false;
    }
    bool fail(const char* message) {
        log_.printf(message, path_.c_str());
        return false;
    }
    bool read(void* target, std::uint64_t count) { return in_->read(target, count) || shortRead(); }
    bool readBody(std::uint32_t size, std::vector<unsigned char>& body) {
        if (size > in_->left()) return shortRead();
        body.resize(size);
        return read(body.data(), size);
    }

    bool readRiff() {
        unsigned char h[12];
        if (!read(h, 12)) return false;
        if (!idIs(h, "RIFF")) return fail("%s : invalid Microsoft RIFF file...\r\n");
        log_.detail("RIFF file detected: %u bytes...\r\n", le32(h + 4));
        if (!idIs(h + 8, "sfbk")) return fail("%s : other Microsoft RIFF file: skipping...\r\n");
        log_.detail("Soundfont 2.x file detected (sfbk FormatID type)...\r\n");
        return true;
    }

    // Reads a LIST header; returns the bytes of the list after its type.
    bool readList(const char* type, const char* notList, const char* otherType,
                  std::uint32_t& length) {
        unsigned char h[12];
        if (!read(h, 12)) return false;
        if (!idIs(h, "LIST")) return fail(notList);
        if (!idIs(h + 8, type)) return fail(otherType);
        const std::uint32_t size = le32(h + 4);
        if (size < 4)
            return fail(
                "%s : invalid Soundfont file: a LIST chunk is shorter than its type. "
                "Skipping...\r\n");
        length = size - 4;
        log_.detail("LIST \"%s\" chunk detected: %u bytes...\r\n", type, size);
        return true;
    }

    bool readInfo() {
        std::uint32_t left = 0;
        if (!readList("INFO",
                      "%s : invalid Soundfont file: first chunk must be the INFO chunk of LIST "
                      "type. Skipping...\r\n",
                      "%s : other LIST chunk: invalid soundfont file...\r\n", left))
            return false;
        while (left > 0) {
            unsigned char h[8];
            if (left < 8)
                return fail(
                    "%s : invalid Soundfont file: INFO-list sub-chunks exceed their list. "
                    "Skipping...\r\n");
            if (!read(h, 8)) return false;
            if (idIs(h, "LIST") || idIs(h, "RIFF"))
                return fail(
                    "%s : invalid Soundfont file: INFO-list sub-chunks can't be of list type. "
                    "Skipping...\r\n");
            const std::uint32_t size = le32(h + 4);
            const std::uint64_t padded = static_cast<std::uint64_t>(size) + (size & 1u);
            if (padded > left - 8)
                return fail(
                    "%s : invalid Soundfont file: INFO-list sub-chunks exceed their list. "
                    "Skipping...\r\n");
            std::vector<unsigned char> body;
            if (!readBody(size, body)) return false;
            if ((size & 1u) != 0 && !in_->skip(1)) return shortRead();
            const std::string id = fixedName(h, 4);
            log_.detail("INFO-list \"%s\" sub-chunk. %u bytes.\r\n", id.c_str(), size);
            if (id == "ifil" && size >= 4)
                log_.detail("Version %u.%02u\r\n", le16(body.data()), le16(body.data() + 2));
            else
                log_.detail("%s\r\n", printableText(body).c_str());
            left -= static_cast<std::uint32_t>(padded + 8);
        }
        return true;
    }

    bool readSampleData() {
        std::uint32_t left = 0;
        if (!readList("sdta",
                      "%s : invalid Soundfont file: second chunk must be the sdta chunk of LIST "
                      "type. Skipping...\r\n",
                      "%s : invalid Soundfont file: second chunk must be the sdta chunk of LIST "
                      "type. Skipping...\r\n",
                      left))
            return false;
        unsigned char h[8];
        if (left < 8) return fail("%s : other chunk: invalid soundfont file...\r\n");
        if (!read(h, 8)) return false;
        if (!idIs(h, "smpl")) return fail("%s : other chunk: invalid soundfont file...\r\n");
        const std::uint32_t size = le32(h + 4);
        log_.detail("smpl-ck sub-chunk detected. Start: %ld, length %u bytes...\r\n",
                    static_cast<long>((in_->offset())), size);
        if (size > left - 8)
            return fail(
                "%s : invalid Soundfont file: smpl-ck sub-chunk exceeds the sdta list. "
                "Skipping...\r\n");
        if (size < 2)
            return fail(
                "%s : invalid Soundfont file: smpl-ck sub-chunk holds no sample data. "
                "Skipping...\r\n");
        std::vector<unsigned char> body;
        if (!readBody(size, body)) return false;
        bank_.sampleWords.resize(size / 2);
        for (std::size_t i = 0; i < bank_.sampleWords.size(); ++i)
            bank_.sampleWords[i] =
                static_cast<std::int16_t>(bytes::signed16(le16(body.data() + 2 * i)));
        std::uint64_t rest = left - 8 - size;
        if ((size & 1u) != 0 && rest > 0) {
            if (!in_->skip(1)) return shortRead();
            --rest;
        }
        if (rest > 0) {
            if (rest < 8)
                return fail(
                    "%s : invalid Soundfont file: sdta-list second sub-chunk must be of sm24 type. "
                    "Skipping...\r\n");
            if (!read(h, 8)) return false;
            if (!idIs(h, "sm24"))
                return fail(
                    "%s : invalid Soundfont file: sdta-list second sub-chunk must be of sm24 type. "
                    "Skipping...\r\n");
            std::uint32_t length = le32(h + 4);
            length += length & 1u;  // the extension is padded to an even byte count
            if (length > rest - 8)
                return fail(
                    "%s : invalid Soundfont file: sm24-ck sub-chunk exceeds the sdta list. "
                    "Skipping...\r\n");
            log_.detail("sm24-ck sub-chunk detected. Start: %ld, length %u bytes...\r\n",
                        static_cast<long>((in_->offset())), length);
            std::vector<unsigned char> low;
            if (!readBody(length, low)) return false;
            if (low.size() >= bank_.sampleWords.size()) {
                bank_.sampleLowBytes.assign(
                    low.begin(),
                    low.begin() + static_cast<std::ptrdiff_t>(bank_.sampleWords.size()));
            } else {
                log_.printf(
                    "Warning: sm24-ck sub-chunk holds %u bytes for %d sample points: 24-bit "
                    "extension ignored...\r\n",
                    length, static_cast<int>(bank_.sampleWords.size()));
            }
            if (!in_->skip(rest - 8 - length)) return shortRead();
        }
        return true;
    }

    // One pdta sub-chunk: its identifier must be `id` (position `number`), its size a multiple of
    // the record size with at least one record.
    bool readRecords(int number, const char* id, std::uint32_t recordSize, std::uint32_t& listLeft,
                     std::vector<unsigned char>& body) {
        unsigned char h[8];
        if (listLeft < 8) return shortRead();
        if (!read(h, 8)) return false;
        if (!idIs(h, id)) {
            log_.printf(
                "%s : invalid Soundfont file: pdta-list sub-chunk #%d must be of %s type. "
                "Skipping...\r\n",
                path_.c_str(), number, id);
            return false;
        }
        const std::uint32_t size = le32(h + 4);
        log_.detail("%s-ck sub-chunk detected. %u bytes...\r\n", id, size);
        if (size > listLeft - 8) {
            if (size > in_->left()) return shortRead();
            log_.printf(
                "%s : invalid Soundfont file: %s-ck sub-chunk exceeds the pdta list. "
                "Skipping...\r\n",
                path_.c_str(), id);
            return false;
        }
        if (size % recordSize != 0 || size == 0) {
            log_.printf(
                "Invalid %s sub-chunk: %u bytes is not a whole number of %u-byte records. "
                "Skipping...\r\n",
                id, size, recordSize);
            return false;
        }
        if (!readBody(size, body)) return false;
        listLeft -= size + 8;
        return true;
    }

    bool tooMany(const char* what, std::size_t count) {
        if (count <= kMaxRecords) return false;
        log_.printf("Too many %s: %d instead of max %d. Skipping...\r\n", what,
                    static_cast<int>(count), static_cast<int>(kMaxRecords));
        return true;
    }

    bool countMismatch(const char* what, std::size_t size, std::size_t expected) {
        if (size == expected) return false;
        log_.printf("Invalid %s: %d instead of %d. Skipping...\r\n", what, static_cast<int>(size),
                    static_cast<int>(expected));
        return true;
    }

    static std::vector<Bag> bags(const std::vector<unsigned char>& body) {
        std::vector<Bag> result(body.size() / 4);
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = {le16(&body[4 * i]), le16(&body[4 * i + 2])};
        return result;
    }
    static std::vector<Generator> generators(const std::vector<unsigned char>& body) {
        std::vector<Generator> result(body.size() / 4);
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = {le16(&body[4 * i]), le16(&body[4 * i + 2])};
        return result;
    }
    static std::vector<Modulator> modulators(const std::vector<unsigned char>& body) {
        std::vector<Modulator> result(body.size() / 10);
        for (std::size_t i = 0; i < result.size(); ++i) {
            const unsigned char* p = &body[10 * i];
            result[i] = {le16(p), le16(p + 2),
                         static_cast<std::int16_t>(bytes::signed16(le16(p + 4))), le16(p + 6),
                         le16(p + 8)};
        }
        return result;
    }

    void listGenerators(const char* kind, const std::vector<Generator>& list) {
        if (!log_.detailed()) return;
        for (std::size_t i = 0; i < list.size(); ++i)
            log_.printf(
                "%s generator #%d: sfGenOper=%d, genAmountU=%d, genAmountS=%hi, "
                "genAmountHL=%d,%d\r\n",
                kind, static_cast<int>(i), list[i].oper, list[i].amount, list[i].signedAmount(),
                list[i].high(), list[i].low());
    }

    bool readPresetData() {
        std::uint32_t left = 0;
        if (!readList("pdta",
                      "%s : invalid Soundfont file: third chunk must be the pdta chunk of LIST "
                      "type. Skipping...\r\n",
                      "%s : invalid Soundfont file: third chunk must be the pdta chunk of LIST "
                      "type. Skipping...\r\n",
                      left))
            return false;
        std::vector<unsigned char> body;

        if (!readRecords(1, "phdr", 38, left, body)) return false;
        if (tooMany("presets", body.size() / 38)) return false;
        bank_.presets.resize(body.size() / 38);
        for (std::size_t i = 0; i < bank_.presets.size(); ++i) {
            const unsigned char* p = &body[38 * i];
            PresetHeader& h = bank_.presets[i];
            h.name = fixedName(p, 20);
            h.preset = le16(p + 20);
            h.bank = le16(p + 22);
            h.bagIndex = le16(p + 24);
            log_.detail("Preset #%d: \"%s\", wPreset=%d, wBank=%d, wPresetBagNdx=%d\r\n",
                        static_cast<int>(i), h.name.c_str(), h.preset, h.bank, h.bagIndex);
        }

        if (!readRecords(2, "pbag", 4, left, body)) return false;
        if (countMismatch("preset bag", body.size(), 4u * (bank_.presets.back().bagIndex + 1u)))
            return false;
        bank_.presetBags = bags(body);
        log_.printf("Total preset bag: %d, Last wGenNdx=%d, Last wModNdx=%d\r\n",
                    static_cast<int>(bank_.presetBags.size()),
                    bank_.presetBags.back().generatorIndex, bank_.presetBags.back().modulatorIndex);

        if (!readRecords(3, "pmod", 10, left, body)) return false;
        if (countMismatch("preset modulators", body.size(),
                          10u * (bank_.presetBags.back().modulatorIndex + 1u)))
            return false;
        bank_.presetModulators = modulators(body);

        if (!readRecords(4, "pgen", 4, left, body)) return false;
        if (countMismatch("preset generators", body.size(),
                          4u * (bank_.presetBags.back().generatorIndex + 1u)))
            return false;
        bank_.presetGenerators = generators(body);
        listGenerators("Preset", bank_.presetGenerators);

        if (!readRecords(5, "inst", 22, left, body)) return false;
        if (tooMany("instruments", body.size() / 22)) return false;
        bank_.instruments.resize(body.size() / 22);
        for (std::size_t i = 0; i < bank_.instruments.size(); ++i) {
            bank_.instruments[i] = {fixedName(&body[22 * i], 20), le16(&body[22 * i + 20])};
            log_.detail("Instrument #%d: \"%s\", wInstBagNdx=%d\r\n", static_cast<int>(i),
                        bank_.instruments[i].name.c_str(), bank_.instruments[i].bagIndex);
        }

        if (!readRecords(6, "ibag", 4, left, body)) return false;
        if (countMismatch("instrument bag", body.size(),
                          4u * (bank_.instruments.back().bagIndex + 1u)))
            return false;
        bank_.instrumentBags = bags(body);
        log_.printf("Total instrument bag: %d, Last wGenNdx=%d, Last wModNdx=%d\r\n",
                    static_cast<int>(bank_.instrumentBags.size()),
                    bank_.instrumentBags.back().generatorIndex,
                    bank_.instrumentBags.back().modulatorIndex);

        if (!readRecords(7, "imod", 10, left, body)) return false;
        if (countMismatch("instrument modulators", body.size(),
                          10u * (bank_.instrumentBags.back().modulatorIndex + 1u)))
            return false;
        bank_.instrumentModulators = modulators(body);
        if (log_.detailed())
            for (std::size_t i = 0; i < bank_.instrumentModulators.size(); ++i) {
                const Modulator& m = bank_.instrumentModulators[i];
                log_.printf(
                    "Instrument modulator #%d: sfModSrcOper=%d, sfModDestOper=%d, modAmount=%hi, "
                    "sfModAmtSrcOper=%d, stTransOper=%d\r\n",
                    static_cast<int>(i), m.source, m.destination, m.amount, m.amountSource,
                    m.transform);
            }

        if (!readRecords(8, "igen", 4, left, body)) return false;
        if (countMismatch("instrument generators", body.size(),
                          4u * (bank_.instrumentBags.back().generatorIndex + 1u)))
            return false;
        bank_.instrumentGenerators = generators(body);
        listGenerators("Instrument", bank_.instrumentGenerators);

        if (!readRecords(9, "shdr", 46, left, body)) return false;
        if (tooMany("samples", body.size() / 46)) return false;
        bank_.samples.resize(body.size() / 46);
        for (std::size_t i = 0; i < bank_.samples.size(); ++i) {
            const unsigned char* p = &body[46 * i];
            SampleHeader& s = bank_.samples[i];
            s.name = fixedName(p, 20);
            s.start = le32(p + 20);
            s.end = le32(p + 24);
            s.loopStart = le32(p + 28);
            s.loopEnd = le32(p + 32);
            s.sampleRate = le32(p + 36);
            s.originalPitch = p[40];
            s.pitchCorrection = static_cast<std::int8_t>(bytes::signed8(p[41]));
            s.sampleLink = le16(p + 42);
            s.sampleType = le16(p + 44);
            log_.detail(
                "Sample #%d: \"%s\", (%u:%u), Loop (%u:%u), SampleRate=%u, Pitch=%d+%hi cents, "
                "wSampleLink=%d, sfSampleType=%d\r\n",
                static_cast<int>(i), s.name.c_str(), s.start, s.end, s.loopStart, s.loopEnd,
                s.sampleRate, s.originalPitch, static_cast<short>(s.pitchCorrection), s.sampleLink,
                s.sampleType);
        }
        return true;
    }

    const std::string& path_;
    Bank& bank_;
    const ImportLog& log_;
    Input* in_ = nullptr;
};

// The zones of a preset or an instrument: bags first .. last - 1. Every bag a zone ends at must
// point inside the generator and modulator tables, not only the table's last bag: the bags of
// the terminal preset or instrument and after it are not otherwise bounded.
bool checkZones(const ImportLog& log, const char* kind, std::size_t owner, const std::string& name,
                std::size_t first, std::size_t last, const std::vector<Bag>& bagTable,
                const std::vector<Generator>& generatorTable, std::size_t modulatorCount,
                std::uint16_t terminal, std::size_t targetCount) {
    for (std::size_t zone = first; zone < last; ++zone) {
        const Bag& bag = bagTable[zone];
        const Bag& next = bagTable[zone + 1];
        if (next.generatorIndex >= generatorTable.size() || next.modulatorIndex > modulatorCount) {
            log.printf("Invalid %s bag #%d: it points past its generators or modulators. Skipping...\r\n", kind,
                       static_cast<int>(zone + 1));
            return false;
        }
        if (next.generatorIndex < bag.generatorIndex || next.modulatorIndex < bag.modulatorIndex) {
            log.printf(
                "Invalid %s bag #%d: its generators or modulators run backwards. Skipping...\r\n",
                kind, static_cast<int>(zone));
            return false;
        }
        const bool terminated = next.generatorIndex > bag.generatorIndex &&
                                generatorTable[next.generatorIndex - 1u].oper == terminal;
        if (!terminated && zone != first) {
            if (terminal == 41)
                log.printf("Invalid preset zone: does not terminate with an instrument...\r\n");
            else
                log.printf("Invalid instrument zone: does not terminate with a sample...\r\n");
            log.printf("(%s #%d \"%s\", zone #%d)\r\n", kind, static_cast<int>(owner), name.c_str(),
                       static_cast<int>(zone - first + 1));
            return false;
        }
        if (terminated && generatorTable[next.generatorIndex - 1u].amount + 1u >= targetCount) {
            log.printf(
                "Invalid %s zone: %s #%d \"%s\", zone #%d names %s %d of %d. Skipping...\r\n", kind,
                kind, static_cast<int>(owner), name.c_str(), static_cast<int>(zone - first + 1),
                terminal == 41 ? "instrument" : "sample",
                generatorTable[next.generatorIndex - 1u].amount, static_cast<int>(targetCount - 1));
            return false;
        }
    }
    return true;
}

}  // namespace

bool readBank(const std::string& path, Bank& bank, const ImportLog& log) {
    Reader reader(path, bank, log);
    return reader.run();
}

bool validateBank(const Bank& bank, const ImportLog& log) {
    if (bank.presets.empty() || bank.instruments.empty() || bank.samples.empty() ||
        bank.presetBags.empty() || bank.instrumentBags.empty() || bank.presetGenerators.empty() ||
        bank.instrumentGenerators.empty()) {
        log.printf("Invalid Soundfont file: a pdta table has no terminal record. Skipping...\r\n");
        return false;
    }
    if (bank.sampleWords.empty()) {
        log.printf(
            "Invalid Soundfont file: smpl-ck sub-chunk holds no sample data. Skipping...\r\n");
        return false;
    }
    // Bag indices must rise through their tables so that every zone lies inside them; the
    // terminal records point one past the last real entry.
    for (std::size_t i = 0; i + 1 < bank.presets.size(); ++i)
        if (bank.presets[i + 1].bagIndex < bank.presets[i].bagIndex ||
            bank.presets[i + 1].bagIndex >= bank.presetBags.size()) {
            log.printf(
                "Invalid preset #%d \"%s\": bag index %d past the next preset's %d. "
                "Skipping...\r\n",
                static_cast<int>(i), bank.presets[i].name.c_str(), bank.presets[i].bagIndex,
                bank.presets[i + 1].bagIndex);
            return false;
        }
    for (std::size_t i = 0; i + 1 < bank.instruments.size(); ++i)
        if (bank.instruments[i + 1].bagIndex < bank.instruments[i].bagIndex ||
            bank.instruments[i + 1].bagIndex >= bank.instrumentBags.size()) {
            log.printf(
                "Invalid instrument #%d \"%s\": bag index %d past the next instrument's %d. "
                "Skipping...\r\n",
                static_cast<int>(i), bank.instruments[i].name.c_str(), bank.instruments[i].bagIndex,
                bank.instruments[i + 1].bagIndex);
            return false;
        }
    if (bank.presetBags.back().generatorIndex >= bank.presetGenerators.size() ||
        bank.presetBags.back().modulatorIndex >= bank.presetModulators.size() + 1 ||
        bank.instrumentBags.back().generatorIndex >= bank.instrumentGenerators.size() ||
        bank.instrumentBags.back().modulatorIndex >= bank.instrumentModulators.size() + 1) {
        log.printf(
            "Invalid Soundfont file: a bag table points past its generators or modulators. "
            "Skipping...\r\n");
        return false;
    }
    for (std::size_t i = 0; i + 1 < bank.presets.size(); ++i)
        if (!checkZones(log, "preset", i, bank.presets[i].name, bank.presets[i].bagIndex,
                        bank.presets[i + 1].bagIndex, bank.presetBags, bank.presetGenerators,
                        bank.presetModulators.size(), 41, bank.instruments.size()))
            return false;
    for (std::size_t i = 0; i + 1 < bank.instruments.size(); ++i)
        if (!checkZones(log, "instrument", i, bank.instruments[i].name,
                        bank.instruments[i].bagIndex, bank.instruments[i + 1].bagIndex,
                        bank.instrumentBags, bank.instrumentGenerators, bank.instrumentModulators.size(), 53,
                        bank.samples.size()))
            return false;
    const std::uint64_t words = bank.sampleWords.size();
    for (std::size_t i = 0; i + 1 < bank.samples.size(); ++i) {
        const SampleHeader& s = bank.samples[i];
        if (s.isRom()) continue;
        if (s.start > s.end || s.end > words || s.loopStart > words || s.loopEnd > words) {
            log.printf(
                "Invalid sample #%d \"%s\": points %u to %u (loop %u to %u) are past the smpl-ck "
                "sub-chunk "
                "of %ld sample points. Skipping...\r\n",
                static_cast<int>(i), s.name.c_str(), s.start, s.end, s.loopStart, s.loopEnd,
                static_cast<long>((words)));
            return false;
        }
        if (s.isStereo() && s.sampleLink + 1u >= bank.samples.size()) {
            log.printf(
                "Invalid sample #%d \"%s\": linked sample %d past the sample table. "
                "Skipping...\r\n",
                static_cast<int>(i), s.name.c_str(), s.sampleLink);
            return false;
        }
    }
    return true;
}

}  // namespace tess::sf2
