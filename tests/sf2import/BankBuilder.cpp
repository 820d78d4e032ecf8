#include "sf2import/BankBuilder.h"

#include <functional>

namespace tess::test {

namespace {

void put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void putName(std::string& s, const std::string& name) {
    std::string field = name.substr(0, 20);
    field.resize(20, '\0');
    s += field;
}

SfChunk leaf(const std::string& id, std::string body) {
    return {id, "", std::move(body), {}};
}

// bag, generator and modulator records of presets or instruments, with their terminal records.
void zoneTables(const std::vector<SfOwner>& owners, std::string& bags, std::string& mods,
                std::string& gens,
                const std::function<void(const SfOwner&, std::uint16_t)>& header) {
    std::uint16_t bag = 0, gen = 0, mod = 0;
    for (const SfOwner& owner : owners) {
        header(owner, bag);
        for (const SfZone& zone : owner.zones) {
            put16(bags, gen);
            put16(bags, mod);
            ++bag;
            for (const auto& g : zone.generators) {
                put16(gens, g.first);
                put16(gens, g.second);
                ++gen;
            }
            for (const SfModulator& m : zone.modulators) {
                put16(mods, m.source);
                put16(mods, m.destination);
                put16(mods, static_cast<std::uint16_t>(m.amount));
                put16(mods, m.amountSource);
                put16(mods, m.transform);
                ++mod;
            }
        }
    }
    SfOwner terminal;
    terminal.name = "EO";
    header(terminal, bag);
    put16(bags, gen);
    put16(bags, mod);
    gens += std::string(4, '\0');
    mods += std::string(10, '\0');
}

}  // namespace

SfChunk SfBank::tree() const {
    SfChunk info{"LIST", "INFO", "", {}};
    std::string version;
    put16(version, 2);
    put16(version, 1);
    info.children.push_back(leaf("ifil", version));
    info.children.push_back(leaf("INAM", std::string("Test bank\0", 10)));

    std::string smpl, sm24, shdr;
    std::uint32_t at = 0;
    for (const SfSample& s : samples) {
        putName(shdr, s.name);
        put32(shdr, at);
        put32(shdr, at + static_cast<std::uint32_t>(s.points.size()));
        put32(shdr, at + s.loopStart);
        put32(shdr, at + s.loopEnd);
        put32(shdr, s.rate);
        shdr += static_cast<char>(s.pitch);
        shdr += static_cast<char>(s.correction);
        put16(shdr, s.link);
        put16(shdr, s.type);
        for (std::int16_t p : s.points) put16(smpl, static_cast<std::uint16_t>(p));
        for (std::int16_t p : s.guard) put16(smpl, static_cast<std::uint16_t>(p));
        at += static_cast<std::uint32_t>(s.points.size() + s.guard.size());
    }
    putName(shdr, "EOS");
    shdr += std::string(26, '\0');
    for (std::uint32_t k = 0; k < at; ++k) sm24 += static_cast<char>((k * 7) & 0xFF);
    if (sm24.size() % 2 != 0) sm24 += '\0';
    SfChunk sdta{"LIST", "sdta", "", {leaf("smpl", smpl)}};
    if (with24Bit) sdta.children.push_back(leaf("sm24", sm24));

    std::string phdr, pbag, pmod, pgen, inst, ibag, imod, igen;
    zoneTables(presets, pbag, pmod, pgen, [&](const SfOwner& o, std::uint16_t bag) {
        putName(phdr, o.name);
        put16(phdr, o.preset);
        put16(phdr, o.bank);
        put16(phdr, bag);
        phdr += std::string(12, '\0');
    });
    zoneTables(instruments, ibag, imod, igen, [&](const SfOwner& o, std::uint16_t bag) {
        putName(inst, o.name);
        put16(inst, bag);
    });
    SfChunk pdta{"LIST",
                 "pdta",
                 "",
                 {leaf("phdr", phdr), leaf("pbag", pbag), leaf("pmod", pmod), leaf("pgen", pgen),
                  leaf("inst", inst), leaf("ibag", ibag), leaf("imod", imod), leaf("igen", igen),
                  leaf("shdr", shdr)}};
    return {"RIFF", "sfbk", "", {info, sdta, pdta}};
}

std::string layout(const SfChunk& chunk) {
    std::string body = chunk.type;
    if (chunk.children.empty() && chunk.type.empty()) {
        body = chunk.body;
    } else {
        for (const SfChunk& c : chunk.children) body += layout(c);
    }
    std::string out = chunk.id;
    put32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    if (body.size() % 2 != 0) out += '\0';
    return out;
}

SfChunk* findChunk(SfChunk& root, const std::string& id) {
    if (root.id == id || (root.id == "LIST" && root.type == id)) return &root;
    for (SfChunk& c : root.children)
        if (SfChunk* found = findChunk(c, id)) return found;
    return nullptr;
}

SfBank simpleBank(int points) {
    SfBank bank;
    SfSample s;
    s.name = "Sine";
    for (int k = 0; k < points; ++k)
        s.points.push_back(static_cast<std::int16_t>(16000 * ((k % 20) - 10) / 10));
    s.loopStart = 10;
    s.loopEnd = static_cast<std::uint32_t>(points - 10);
    bank.samples.push_back(s);
    bank.instruments.push_back({"Inst", {SfZone{{{53, 0}}, {}}}, 0, 0});
    bank.presets.push_back({"Lead", {SfZone{{{41, 0}}, {}}}, 0, 0});
    return bank;
}

}  // namespace tess::test
