#include "job/job.h"

namespace exportgen {

Job::Job() {
    info.appName = L"exportgen";
    info.appVersion = L"1.0";
    info.setDistUnits(orv::ie::eMeters);
}

const KnownPoint* Job::find(std::string_view name) const {
    auto it = pointIndex.find(std::string(name));
    return it == pointIndex.end() ? nullptr : &points[it->second];
}

}  // namespace exportgen
