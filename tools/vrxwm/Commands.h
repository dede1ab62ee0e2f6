// The subcommands of vrxwm, one file each. Each adds itself to the
// application with its options and --help, and runs from its callback;
// a failure is thrown as CStatusError and reported by main().
#pragma once

#include <CLI/CLI.hpp>

void AddInfoCommand(CLI::App& app);
void AddFramesCommand(CLI::App& app);
void AddAudioCommand(CLI::App& app);
void AddEncodeCommand(CLI::App& app);
void AddTranscodeCommand(CLI::App& app);
void AddDemoCommand(CLI::App& app);
