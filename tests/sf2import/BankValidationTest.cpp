// Damaged and foreign banks: each is refused with its message, the import ends cleanly, and
// nothing at all is written (the output folder is not even created). Run under the sanitizers
// too, so an out-of-bounds read fails the test.
#include <gtest/gtest.h>

#include <functional>

#include "sf2import/ImportSupport.h"

namespace tess::test {
namespace {

void expectRefused(const TempDir& dir, const std::string& bytes, const std::string& message,
                   const std::string& what) {
    const ImportRun run = importBytes(dir, bytes);
    EXPECT_FALSE(run.summary.succeeded) << what;
    EXPECT_NE(run.log.find(message), std::string::npos) << what << "\n" << run.log;
    EXPECT_EQ(run.log.find("THE FILE IS OK"), std::string::npos) << what;
    EXPECT_NE(run.log.find("Process terminated.\r\n"), std::string::npos) << what;
    EXPECT_EQ(listTree(dir.file("out")), "") << what;
}

// Byte offsets where a chunk starts, where its header ends and where it ends.
void boundaries(const SfChunk& chunk, std::size_t at, std::vector<std::size_t>& out) {
    out.push_back(at);
    const std::size_t header = 8 + chunk.type.size();
    out.push_back(at + header);
    std::size_t inner = at + header;
    for (const SfChunk& c : chunk.children) {
        boundaries(c, inner, out);
        inner += layout(c).size();
    }
}

TEST(BankValidation, TheControlBankImports) {
    TempDir dir;
    const ImportRun run = importBytes(dir, layout(simpleBank().tree()));
    EXPECT_TRUE(run.summary.succeeded) << run.log;
    EXPECT_EQ(run.summary.presets, 1);
    EXPECT_EQ(listTree(dir.file("out")),
              "0001_Lead\n0001_Lead/Instrument.txt\n0001_Lead/samples\n"
              "0001_Lead/samples/Sine.wav\n");
}

TEST(BankValidation, TruncatedAtEveryChunkBoundary) {
    const SfChunk tree = simpleBank().tree();
    const std::string bytes = layout(tree);
    std::vector<std::size_t> cuts;
    boundaries(tree, 0, cuts);
    ASSERT_GT(cuts.size(), 30u);
    for (std::size_t cut : cuts) {
        if (cut >= bytes.size()) continue;
        TempDir dir;
        expectRefused(dir, bytes.substr(0, cut), "Can't read more data from file",
                      "cut at " + std::to_string(cut));
    }
}

TEST(BankValidation, ChunksInTheWrongPlace) {
    struct Case {
        const char* name;
        std::function<void(SfChunk&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"sdta and pdta swapped", [](SfChunk& t) { std::swap(t.children[1], t.children[2]); },
         "second chunk must be the sdta chunk of LIST type"},
        {"no INFO list first", [](SfChunk& t) { t.children.erase(t.children.begin()); },
         "other LIST chunk: invalid soundfont file"},
        {"imod before ibag",
         [](SfChunk& t) {
             std::swap(findChunk(t, "pdta")->children[5], findChunk(t, "pdta")->children[6]);
         },
         "pdta-list sub-chunk #6 must be of ibag type"},
        {"shdr missing", [](SfChunk& t) { findChunk(t, "pdta")->children.pop_back(); },
         "Can't read more data"},
        {"a list inside INFO",
         [](SfChunk& t) {
             t.children[0].children.push_back({"LIST", "xxxx", "", {}});
         },
         "INFO-list sub-chunks can't be of list type"},
        {"a WAVE file", [](SfChunk& t) { t.type = "WAVE"; }, "other Microsoft RIFF file"},
        {"not RIFF", [](SfChunk& t) { t.id = "RIFX"; }, "invalid Microsoft RIFF file"},
        {"first sub-chunk of sdta not smpl", [](SfChunk& t) { findChunk(t, "smpl")->id = "smpx"; },
         "other chunk: invalid soundfont file"},
        {"zero-length smpl", [](SfChunk& t) { findChunk(t, "smpl")->body.clear(); },
         "holds no sample data"},
        {"phdr of a broken record size", [](SfChunk& t) { findChunk(t, "phdr")->body += "x"; },
         "Invalid phdr sub-chunk"},
    };
    for (const Case& c : cases) {
        SfChunk tree = simpleBank().tree();
        c.change(tree);
        TempDir dir;
        expectRefused(dir, layout(tree), c.message, c.name);
    }
}

TEST(BankValidation, CountsThatDisagreeByOneRecord) {
    struct Case {
        const char* chunk;
        const char* label;
        std::size_t recordSize;
        std::size_t size;  // bytes the bank's own records take
    };
    const Case cases[] = {
        {"pbag", "preset bag", 4, 8},
        {"pmod", "preset modulators", 10, 10},
        {"pgen", "preset generators", 4, 8},
        {"ibag", "instrument bag", 4, 8},
        {"imod", "instrument modulators", 10, 10},
        {"igen", "instrument generators", 4, 8},
    };
    for (const Case& c : cases) {
        for (const bool more : {true, false}) {
            if (!more && c.size == c.recordSize) continue;  // nothing left to count
            SfChunk tree = simpleBank().tree();
            std::string& body = findChunk(tree, c.chunk)->body;
            ASSERT_EQ(body.size(), c.size) << c.chunk;
            const std::size_t changed = more ? c.size + c.recordSize : c.size - c.recordSize;
            body.resize(changed, '\0');
            TempDir dir;
            const std::string message = "Invalid " + std::string(c.label) + ": " +
                                        std::to_string(changed) + " instead of " +
                                        std::to_string(c.size);
            expectRefused(dir, layout(tree), message, message);
        }
    }
}

TEST(BankValidation, IndicesPastTheirTables) {
    struct Case {
        const char* name;
        std::function<void(SfBank&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"instrument past the table",
         [](SfBank& b) { b.presets[0].zones[0].generators[0].second = 7; },
         "names instrument 7 of 1"},
        {"sample past the table",
         [](SfBank& b) { b.instruments[0].zones[0].generators[0].second = 3; },
         "names sample 3 of 1"},
        {"the terminal instrument named",
         [](SfBank& b) { b.presets[0].zones[0].generators[0].second = 1; },
         "names instrument 1 of 1"},
        {"a linked sample past the table",
         [](SfBank& b) {
             b.samples[0].type = 4;
             b.samples[0].link = 9;
         },
         "linked sample 9 past the sample table"},
        {"a zone not ending with its instrument",
         [](SfBank& b) {
             b.presets[0].zones.push_back(SfZone{{{17, 100}}, {}});
         },
         "Invalid preset zone: does not terminate with an instrument"},
        {"a zone not ending with its sample",
         [](SfBank& b) {
             b.instruments[0].zones.push_back(SfZone{{{17, 100}}, {}});
         },
         "Invalid instrument zone: does not terminate with a sample"},
    };
    for (const Case& c : cases) {
        SfBank bank = simpleBank();
        c.change(bank);
        TempDir dir;
        expectRefused(dir, layout(bank.tree()), c.message, c.name);
    }
}

TEST(BankValidation, BagIndicesRunningBackwards) {
    SfChunk tree = simpleBank().tree();
    // The preset's first bag index past its terminal's: the zones would run backwards.
    std::string& phdr = findChunk(tree, "phdr")->body;
    phdr[24] = 5;
    TempDir dir;
    expectRefused(dir, layout(tree), "Invalid preset #0 \"Lead\": bag index 5", "preset bag index");
}

// A middle bag pointing far past the generators: the zone before it ends there, and the rise
// to the next bag is only checked with the next zone. Found by fuzzing.
TEST(BankValidation, AMiddleBagPointsPastItsGenerators) {
    for (const char* bags : {"pbag", "ibag"}) {
        SfBank bank = simpleBank();
        bank.presets.push_back({"Second", {SfZone{{{41, 0}}, {}}}, 1, 0});
        bank.instruments.push_back({"Other", {SfZone{{{53, 0}}, {}}}, 0, 0});
        SfChunk tree = bank.tree();
        std::string& body = findChunk(tree, bags)->body;
        ASSERT_EQ(body.size(), 12u);
        body[4] = '\xFF';
        body[5] = '\x7F';
        TempDir dir;
        expectRefused(dir, layout(tree), std::string("bag #1: it points past its generators or modulators"), bags);
    }
}

TEST(BankValidation, SampleRangesPastTheSampleData) {
    struct Case {
        const char* name;
        std::size_t offset;  // inside the first shdr record
        std::uint32_t value;
    };
    const Case cases[] = {
        {"end past smpl", 24, 100000},
        {"start after end", 20, 120},
        {"loop end past smpl", 32, 100000},
        {"loop start past smpl", 28, 100000},
    };
    for (const Case& c : cases) {
        SfChunk tree = simpleBank().tree();
        std::string& shdr = findChunk(tree, "shdr")->body;
        for (int i = 0; i < 4; ++i)
            shdr[c.offset + static_cast<std::size_t>(i)] =
                static_cast<char>((c.value >> (8 * i)) & 0xFF);
        TempDir dir;
        expectRefused(dir, layout(tree), "are past the smpl-ck sub-chunk", c.name);
    }
}

}  // namespace
}  // namespace tess::test
