// Shared set-up of the RW5 tests: a job in chosen units and helpers to build sights.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "rw5/CRW5Generator.h"
#include "support/text.h"

namespace rw5test {

using namespace orv::ie;
using testsupport::narrow;

inline DexTSRawMeasurement measure(int kind, std::vector<double> values, bool backsightTarget = false) {
    return DexTSRawMeasurement(kind, std::move(values), backsightTarget);
}

inline DexTSRawFS foresightTo(const wchar_t* target, const DexTSRawMeasurement& measurement,
                              int kind = eSightForesight) {
    DexTSRawFS sight(kind);
    sight.setTargetName(target);
    sight.setMeasurement(measurement);
    return sight;
}

inline DexCodeValues code(const wchar_t* name, const wchar_t* control1 = L"", const wchar_t* control2 = L"") {
    DexCodeValues value{DexCodeDescription(name)};
    value.setControlCode(eControlCode1, control1);
    value.setControlCode(eControlCode2, control2);
    return value;
}

class Rw5Test : public ::testing::Test {
protected:
    void SetUp() override {
        job.appName = L"Field";
        job.appVersion = L"2.1";
        job.jobName = L"J1";
        base::CTime::SetFixedCurrentTime(base::CTime(2025, 7, 4, 9, 5, 3));
    }
    void TearDown() override { base::CTime::ClearFixedCurrentTime(); }

    std::unique_ptr<CRW5Generator> make(bool forceNames = false, bool rbMode = false,
                                        const FreeNumericNames* names = nullptr) {
        return std::make_unique<CRW5Generator>(&settings, &job, names, forceNames, rbMode);
    }

    DexSettings settings{eMeters, eDegrees};
    DexJobInfo job;
};

}  // namespace rw5test
