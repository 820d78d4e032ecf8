// Fixture shared by the compiler tests: a log, a per-user folder, a scratch folder for
// instrument files and a compiler that has just been reset, as a load would leave it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "support/TestSupport.h"

namespace tess::compiler::test {

class CompilerTest : public ::testing::Test {
protected:
    CompilerTest() : compiler(log, user.path()) { compiler.reset(); }

    // Writes `content` to a file in the scratch folder and compiles it at `level`.
    std::string compileText(const std::string& content, int level = 0, const std::string& name = "instrument.txt") {
        const std::string path = files.file(name);
        tess::test::writeFile(path, content);
        compiler.compileFile(level, path);
        return path;
    }
    std::string mainLog() const { return std::string(log.main.view()); }
    // Compiles `text` after "DEBUG 2" from a fresh reset and returns what the directives logged:
    // the log without the reader's section and end-of-file lines and the operation listings.
    std::string directiveLog(const std::string& text);
    // The four-piece error report of a directive line of the scratch file.
    std::string directiveReport(int line, const std::string& message, const std::string& raw) const {
        return "************ Line " + std::to_string(line) + ", file " + files.file("instrument.txt") + "\r\n" + raw +
               "\r\n" + message;
    }
    // The one-line error report that ends with the raw line.
    std::string lineReport(int line, const std::string& message, const std::string& raw) const {
        return "************ Line " + std::to_string(line) + ", file " + files.file("instrument.txt") + "\r\n" +
               message + raw + "\r\n";
    }
    std::string programLog() const { return std::string(log.program.view()); }
    // The layer `index`; one the compile never reached reads as an empty layer.
    const LayerProgram& layer(int index) const {
        static const LayerProgram kEmpty;
        const std::vector<LayerProgram>& layers = compiler.instrument().layers;
        return static_cast<std::size_t>(index) < layers.size() ? layers[static_cast<std::size_t>(index)] : kEmpty;
    }

    static std::size_t count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
        return n;
    }

    tess::test::ScopedUserFolder user;
    tess::test::TempDir files;
    Log log;
    InstrumentCompiler compiler;
};

// Runs a stored program once with the arithmetic, copy and IF operations on constant inputs,
// as the render loop steps through it, and returns the value written to OUT (0 when none).
float evaluate(const LayerProgram& program, int maxSteps = 10000);

}  // namespace tess::compiler::test
