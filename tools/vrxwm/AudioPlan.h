// Which audio format to hand the writer. The Windows Media Audio encoder
// takes at most two channels and at least 24 kbit/s, and the writer's
// normalisation (ordinal 504) snaps every bit rate to what its codec
// offers at a sample rate; a rate that ends up below what the encoder
// takes, or that the writer moves (mono 48 kHz to 44.1 kHz), means the
// audio has to be resampled to the nearest format that works.
#pragma once

#include <cstdint>
#include <string>

class CPlugin;

struct SAudioPlan {
    int sampleRate = 0;
    int channels = 0;
    uint32_t dwBitRate = 0;
    // Set when the source has to be resampled; says from what to what.
    std::string note;
};

// wantedBitRate 0 asks for the codec's usual rate for the channel count.
// Throws CStatusError when no format the encoder takes exists at all.
SAudioPlan PlanAudio(const CPlugin& plugin, int sampleRate, int channels, uint32_t wantedBitRate);
