#include "vemra/CApaSimaRawDataGenerator.h"

#include "contracts/text_services.h"

namespace orv::ie {

CApaSimaRawDataGenerator::~CApaSimaRawDataGenerator() = default;

bool CApaSimaRawDataGenerator::extractField(COrvStringT& out, const wchar_t* text, int index, wchar_t separator) {
    if (text == nullptr) return false;
    const wchar_t* start = text;
    for (int skipped = 0; skipped < index; ++skipped) {
        while (*start != L'\0' && *start != separator) ++start;
        if (*start == L'\0') {
            out.Empty();
            return false;
        }
        ++start;  // past the separator
    }
    const wchar_t* end = start;
    while (*end != L'\0' && *end != separator) ++end;
    out = COrvStringT(start, static_cast<std::size_t>(end - start));
    return true;
}

COrvStringT CApaSimaRawDataGenerator::angleToString(double degrees, int precision) {
    return utils::angleByStyleToString(eDegMinSec, degrees, precision);
}

bool CApaSimaRawDataGenerator::writeProgramInfo(COrvStringT& program, COrvStringT& version) {
    program.Empty();
    version = L"Ver ";
    if (m_jobInfo != nullptr) {
        program = m_jobInfo->appName;
        version += m_jobInfo->appVersion;
    }
    return true;
}

bool CApaSimaRawDataGenerator::writeJobInfo(COrvStringT& job, COrvStringT& second, COrvStringT& third,
                                            COrvStringT& fourth, COrvStringT& date) {
    job.Empty();
    second.Empty();
    third.Empty();
    fourth.Empty();

    // The creation date comes as day/month/year and is written as year/month/day; a missing
    // component stays empty, so a job without a creation date gives "//".
    COrvStringT created;
    COrvStringT time;
    if (m_jobInfo != nullptr) {
        job = m_jobInfo->jobName;
        m_jobInfo->getCreateTimeString(created, time);
    }
    COrvStringT day;
    COrvStringT month;
    COrvStringT year;
    extractField(day, created, 0, L'/');
    extractField(month, created, 1, L'/');
    extractField(year, created, 2, L'/');
    date = year;
    date += L'/';
    date += month;
    date += L'/';
    date += day;
    return true;
}

bool CApaSimaRawDataGenerator::writeAtmosphere(COrvStringT& first, COrvStringT& second, COrvStringT& temperature,
                                               COrvStringT& pressure, COrvStringT& ppm, COrvStringT& last) {
    first = L"1";
    second = L"1";
    last = L"1";

    // Each value starts at 0 and the getters replace it only when the settings hold one, so an
    // absent value is written "0.0", the zero the job header writes for missing atmosphere.
    double celsius = 0.0;
    ETemperatureUnits temperatureUnits = eCelsius;
    double hpa = 0.0;
    EPressureUnits reportedPressureUnits = eHectoPascal;
    double partsPerMillion = 0.0;
    if (m_obsInfo != nullptr) {
        m_obsInfo->getTemperature(celsius, temperatureUnits);
        m_obsInfo->getPressure(hpa, reportedPressureUnits);
        m_obsInfo->getPpm(partsPerMillion);
    }
    temperature.Format(L"%.1lf", utils::fromCelsius(celsius, temperatureUnits));
    // The dialect always states its pressure in hPa, whatever unit the settings use.
    pressure.Format(L"%.1lf", utils::fromHpa(hpa, eHectoPascal));
    ppm.Format(L"%.1lf", partsPerMillion);
    return true;
}

bool CApaSimaRawDataGenerator::writeObsConstant(int kind, COrvStringT& out) {
    // Only the entry kinds 1 and 3 carry the prism constant; a zero constant, like every other
    // kind, is written as the neutral "+00".
    const double constant = m_obsInfo != nullptr ? m_obsInfo->obsConstant : 0.0;
    if ((kind == 1 || kind == 3) && constant != 0.0) {
        out.Format(L"%02.0f", constant);
    } else {
        out = L"+00";
    }
    return true;
}

}  // namespace orv::ie
