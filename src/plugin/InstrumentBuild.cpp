#include "plugin/InstrumentBuild.h"

#include <cmath>

#include "samples/SampleDirective.h"

namespace tess {

InstrumentBuild::InstrumentBuild(const std::string& userFolder, int numVstVars)
    : log(std::make_unique<Log>()),
      compiler(std::make_unique<compiler::InstrumentCompiler>(*log, userFolder)),
      samples(std::make_unique<SampleBank>()),
      userFolder_(userFolder) {
    compiler->settings().numVstVars = numVstVars;
    controllers.resetForLoad();
    installHandlers();
}

void InstrumentBuild::recycle() {
    log->clear();
    compiler->reset();
    samples->reset();
    sampleContext = SampleContext{};
    parameters.reset();
    controllers.resetForLoad();
    controllerWrites.clear();
    parameterChanges.clear();
    path.clear();
    resolvedPath.clear();
    folder.clear();
    fileName.clear();
    fileRead = false;
    installHandlers();
}

void InstrumentBuild::installHandlers() {
    sampleContext.userFolder = userFolder_;
    installSampleDirective(*compiler, *samples, sampleContext);
    actions.setStartValue = [this](int mcc, float value) {
        controllers.setStartValue(mcc, value);
        controllerWrites.push_back({true, mcc, value});
    };
    actions.setControllerValue = [this](int mcc, float value) {
        controllers.setCurrent(mcc, value);
        controllerWrites.push_back({false, mcc, value});
    };
    actions.controllerValue = [this](int mcc) { return controllers.current(mcc); };
    const auto change = [this](int index, float host, bool automated) {
        if (!HostParameterTable::valid(index) || !std::isfinite(host)) return;
        parameters.setHostValue(index, host);
        parameterChanges.push_back({index, host, automated});
    };
    actions.setParameter = [change](int index, float host) { change(index, host, false); };
    actions.setParameterAutomated = [change](int index, float host) { change(index, host, true); };
    installControllerDirectives(*compiler, parameters, actions);
}

}  // namespace tess
