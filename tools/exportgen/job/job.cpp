#include "job/job.h"

#include "base/text.h"

namespace exportgen {

Job::Job() {
    // A job whose input names no program is this program's own: its program line states the
    // version that wrote it.
    info.appName = L"exportgen";
    info.appVersion = wideFromUtf8(EXPORTGEN_VERSION);
    info.setDistUnits(orv::ie::eMeters);
}

const KnownPoint* Job::find(std::string_view name) const {
    auto it = pointIndex.find(std::string(name));
    return it == pointIndex.end() ? nullptr : &points[it->second];
}

}  // namespace exportgen
