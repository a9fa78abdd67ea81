#pragma once

#include "TransferState.h"

inline constexpr int MinSpeedLevel = 1;
inline constexpr int MaxSpeedLevel = 5;

struct SpeedRow {
    int BlockSize;
    int ReceiveBufferSize;
};

// The block and buffer sizes of a level (clamped to 1..5).
SpeedRow SpeedLevelRow(int level);

// Stores the level and applies its row to the settings.
void ApplySpeedLevel(TransferSettings& settings, int level);
