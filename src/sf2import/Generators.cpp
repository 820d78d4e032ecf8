#include "sf2import/Generators.h"

namespace tess::sf2 {

std::int16_t generatorDefault(int oper) {
    switch (oper) {
        case gen::FilterFc:
            return 13500;
        case gen::ModLfoDelay:
        case gen::VibLfoDelay:
        case gen::ModEnvDelay:
        case gen::ModEnvAttack:
        case gen::ModEnvHold:
        case gen::ModEnvDecay:
        case gen::ModEnvRelease:
        case gen::VolEnvDelay:
        case gen::VolEnvAttack:
        case gen::VolEnvHold:
        case gen::VolEnvDecay:
        case gen::VolEnvRelease:
            return -12000;
        case gen::KeyRange:
        case gen::VelRange:
            return 0x7F00;  // 0 .. 127
        case gen::Keynum:
        case gen::Velocity:
        case gen::OverridingRootKey:
            return -1;
        case gen::ScaleTuning:
            return 100;
        default:
            return 0;
    }
}

bool instrumentOnly(int oper) {
    switch (oper) {
        case gen::StartOffset:
        case gen::EndOffset:
        case gen::LoopStartOffset:
        case gen::LoopEndOffset:
        case gen::StartCoarseOffset:
        case gen::EndCoarseOffset:
        case gen::LoopStartCoarseOffset:
        case gen::LoopEndCoarseOffset:
        case gen::Keynum:
        case gen::Velocity:
        case gen::SampleModes:
        case gen::ExclusiveClass:
        case gen::OverridingRootKey:
        case gen::SampleId:
        case gen::Instrument:
            return true;
        default:
            return false;
    }
}

ZoneGenerators::ZoneGenerators() {
    for (int i = 0; i < gen::Count; ++i) amount[static_cast<std::size_t>(i)] = generatorDefault(i);
}

}  // namespace tess::sf2
