#include "SpeedLevels.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::array<SpeedRow, 5> kRows{{
    {256, 300},
    {512, 550},
    {1024, 1050},
    {2048, 2080},
    {3072, 3100},
}};
}

SpeedRow SpeedLevelRow(int level)
{
    return kRows[std::clamp(level, MinSpeedLevel, MaxSpeedLevel) - MinSpeedLevel];
}

void ApplySpeedLevel(TransferSettings& settings, int level)
{
    const SpeedRow row = SpeedLevelRow(level);
    settings.SpeedLevel = std::clamp(level, MinSpeedLevel, MaxSpeedLevel);
    settings.BlockSize = row.BlockSize;
    settings.ReceiveBufferSize = row.ReceiveBufferSize;
}
