// Making test media with the ffmpeg command-line tool, and finding the
// sample files made by the platform's own tools.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs ffmpeg quietly with the given arguments (after -y -hide_banner
// -loglevel error). Returns true on exit status 0; on failure the command
// and its stderr are added to the test's failure message by the caller.
bool RunFfmpeg(const std::vector<std::string>& args, std::string* error = nullptr);

// Runs a shell command and returns its exit status; its stdout goes to *out.
int RunCommand(const std::string& command, std::string* out = nullptr);

// The folder of the platform-made sample files (VRX_SAMPLES_DIR, else
// ../shared/samples beside the source tree); empty when absent.
std::filesystem::path SamplesDir();

// UTF-16 form of a path or text, for the Windows-shaped interfaces.
std::u16string Wide(const std::string& text);
