// vrxwm: reads and writes Windows Media files through the plug-in, the way
// any host does. Every failure ends the program with one line on stderr:
// what failed, the status in hex and its meaning; exit status 1 (2 for a
// command line it cannot parse).
#include <iostream>
#include <new>

#include <CLI/CLI.hpp>

extern "C" {
#include <libavutil/log.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/Commands.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string UsageLine(const CLI::App* /*app*/, const CLI::Error& error) {
    return "vrxwm: " + std::string(error.what()) + " (see --help)\n";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("vrxwm: read and write Windows Media (ASF) files through the VRX plug-in.\n"
                 "The plug-in is libVRXPlugWinMediaCodecU.so beside this program, or the one VRXWM_PLUGIN names.",
                 "vrxwm");
    // FFmpeg, inside the plug-in's layers too, would chat on stderr; what
    // goes wrong there comes back as a status and is reported as such.
    av_log_set_level(AV_LOG_FATAL);
    app.require_subcommand(1);
    app.failure_message(UsageLine);
    AddInfoCommand(app);
    AddFramesCommand(app);
    AddAudioCommand(app);
    AddEncodeCommand(app);
    AddTranscodeCommand(app);
    AddDemoCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int exitCode = app.exit(e);
        return exitCode == 0 ? 0 : kExitUsage;
    } catch (const CStatusError& e) {
        std::cout.flush();
        std::cerr << "vrxwm: " << e.what() << '\n';
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        std::cerr << "vrxwm: " << FormatStatus(kStatusOutOfMemory) << '\n';
        return kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "vrxwm: " << e.what() << ": " << FormatStatus(kStatusFail) << '\n';
        return kExitFailure;
    }
    return 0;
}
