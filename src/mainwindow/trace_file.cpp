#include "mainwindow/trace_file.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"

#include <cstdio>

namespace kestrix {

TraceFileOutcome openTraceFile(const std::string& directory, const CToolBoxLang& language) {
    TraceFileOutcome outcome;
    outcome.path = directory + "/" + kTraceFileName;
    std::FILE* probe = std::fopen(outcome.path.c_str(), "r");
    if (probe == nullptr)
        return outcome; // no trace file: tracing stays off and nothing is created
    std::fclose(probe);

    std::FILE* file = std::fopen(outcome.path.c_str(), "w");
    if (file == nullptr) {
        outcome.state = TraceFileState::NotWritable;
        outcome.warning = std::string(language.GetText(44)) + " " + outcome.path + " " + language.GetText(22);
        return outcome;
    }
    closeTraceFile();
    setTraceFile(file);
    trace("%s %s\n", kProductCaption, kProductVersion);
    outcome.state = TraceFileState::On;
    return outcome;
}

void closeTraceFile() {
    std::FILE* file = traceFile();
    setTraceFile(nullptr);
    if (file != nullptr)
        std::fclose(file);
}

} // namespace kestrix
