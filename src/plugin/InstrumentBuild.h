// An instrument compiled beside the one that is playing: its own compiler, sample bank, log,
// parameter table and controller values, filled by a load off the audio thread. Nothing here
// is seen by the audio thread until the load hands it over (Tessarine::installBuild).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "controllers/ControllerSpace.h"
#include "engine/InterpolationKernel.h"
#include "samples/SampleBank.h"
#include "samples/SampleLoader.h"
#include "state/ControllerDirectives.h"
#include "state/HostParameterTable.h"

namespace tess {

struct InstrumentBuild {
    // A controller value the compile set (MIDICC, a temperament passed to its controller):
    // replayed in order on the running controllers when the build is installed.
    struct ControllerWrite {
        bool startValue;  // MIDICC's start value, else the current value alone
        int controller;
        float value;
    };
    // A host parameter the compile changed, with or without telling the host.
    struct ParameterChange {
        int index;
        float host;
        bool automated;
    };

    InstrumentBuild(const std::string& userFolder, int numVstVars);
    // Makes a build that was installed (and so holds the instrument it replaced) ready for the
    // next load: the old instrument's programs and samples are freed, the tables stay, and the
    // directive handlers act on this build's own tables again.
    void recycle();
    InstrumentBuild(const InstrumentBuild&) = delete;
    InstrumentBuild& operator=(const InstrumentBuild&) = delete;

    // The compiler writes to this log for as long as it lives, so the two change hands together.
    std::unique_ptr<Log> log;
    std::unique_ptr<compiler::InstrumentCompiler> compiler;
    std::unique_ptr<SampleBank> samples;
    SampleContext sampleContext;
    HostParameterTable parameters;
    ControllerSpace controllers;  // what the compile left in controllers 0 .. 199
    ControllerDirectiveActions actions;
    std::vector<ControllerWrite> controllerWrites;
    std::vector<ParameterChange> parameterChanges;
    InterpolationKernel kernel;

    std::string path;          // the path as written ("" for Settings.ini alone)
    std::string resolvedPath;  // the file compiled
    std::string folder;        // folder and bare name of the resolved path
    std::string fileName;
    bool fileRead = false;

private:
    void installHandlers();
    std::string userFolder_;
};

}  // namespace tess
