// CRW5Generator: writes the RW5 raw format, comma-separated records of a two-letter record
// type and fields that each start with a two-letter tag ("FD,OP1,FP7,AR90.0000,ZE…").
//
// The host creates it with createRw5Generator and asks it, record by record, for the text of
// the header, set-ups, backsights, observations, offsets, stored points and notes. Every
// operation that returns whole lines ends them with "\r\n"; field and body operations add no
// line end. Every operation calls the others virtually (except the three field calls of
// offsetRecord), so that CSDRRawGenerator's overrides take effect in the inherited records.
//
// Units of what the host passes: distances, heights and coordinates in metres; angles in
// decimal degrees. The largest finite double (noValue) marks a missing distance, which is
// written as a bare tag. Virtual operations are declared in the order of the interface's
// slots; that order is part of the interface and must not change.
#pragma once

#include <cstddef>
#include <new>

#include "contracts/dex_data.h"
#include "contracts/name_map.h"
#include "contracts/orv_string.h"

namespace orv::ie {

class CRW5Generator {
public:
    /// Generators live on the utility heap: orv_operator_new, released with dlfree.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;

    /// Takes the units from `settings` for `jobInfo` (metres and degrees when either is null),
    /// copies `names` (a fresh list when null). `forceNames` replaces every point name by a
    /// numeric name; `rbMode` selects the "RB"/"OB"/"SS" record types.
    CRW5Generator(const DexSettings* settings, const DexJobInfo* jobInfo, const FreeNumericNames* names,
                  bool forceNames, bool rbMode);
    CRW5Generator(const CRW5Generator&) = delete;
    CRW5Generator& operator=(const CRW5Generator&) = delete;

    // slot 0
    virtual ~CRW5Generator();
    // 1: "--<app> Version <version>", "JB,NM<job>,DT<MM-DD-YYYY>,TM<hh:mm:ss>", "MO,AD0,UN…".
    virtual bool header(COrvStringT& commentLine, COrvStringT& jobLine, COrvStringT& modeLine);
    // 2: "OC,OP<name>,N <n>,E <e>,EL<z>,--<note>\r\n"; sets the station and instrument height.
    virtual COrvStringT occupy(const COrvStringT& derivation, const COrvStringT& name, const COrvStringT& note,
                               double northing, double easting, double elevation, double instrumentHeight);
    // 3: head, "N ", northing, ",E ", easting, ",EL", elevation (4 decimals), then tail.
    virtual COrvStringT coords(const COrvStringT& head, double northing, double easting, double elevation,
                               const COrvStringT& tail);
    // 4: a whole observation line of a sight with its codes as note.
    virtual COrvStringT sightNoteLine(const DexTSRawDataSightInterface* sight, const DexCodeStyle* codeStyle);
    // 5
    virtual COrvStringT emptyText();
    // 6: six note lines of resection errors (angles 5 decimals, distances 4).
    virtual COrvStringT resectionErrorNotes(double horizontalError, double zenithError, double slopeDistanceError,
                                            double horizontalVsAverage, double zenithVsAverage,
                                            double slopeDistanceVsAverage);
    // 7: up to three note lines; a residual of ±noValue is left out.
    virtual COrvStringT worstResidualNotes(double horizontalResidual, double zenithResidual,
                                           double slopeDistanceResidual);
    // 8: "--HR<height>\r\n".
    virtual COrvStringT targetHeightNote(double height);
    // 9: "LS,HI<hi>,HR<hr>\r\n" unless nothing changed (0.001 tolerance on the target height).
    virtual COrvStringT lsHiHr(double targetHeight, bool onlyIfChanged);
    // 10: the LS line when the target height differs exactly.
    virtual COrvStringT lsHiHrIfHrChanged(double targetHeight);
    // 11: "BK,OP<station>,BP<name or 0>,BS<second>,BC<first>\r\n".
    virtual COrvStringT backsight(const COrvStringT& name, bool bearingOnly, double firstAngle, double secondAngle);
    // 12: the backsight check line (when a name is given) and the circle check line.
    virtual COrvStringT backsightCheckNotes(const COrvStringT& backsightName, double zenith, double slopeDistance,
                                            double horizontalAngularError, double verticalAngularError,
                                            double horizontalDistanceError, double verticalDistanceError);
    // 13: "<head>,PN<name>,N …,E …,EL…,--<note>\r\n", once per name unless forced.
    virtual COrvStringT storePoint(const COrvStringT& head, const COrvStringT& name, const DexStation* station,
                                   const COrvStringT& note, int precision, bool force);
    // 14: true when `name` has been written before (is a key of the point-name map).
    virtual bool hasName(const COrvStringT& name);
    // 15: the output name of `name`, mapped once on first use.
    virtual COrvStringT cachedName(const COrvStringT& name);
    // 16: a numeric name when names are forced or `name` is empty, else `name`.
    virtual COrvStringT pointName(const COrvStringT& name);
    // 17: "--<text>\r\n", or the empty text for an empty text.
    virtual COrvStringT noteLine(const COrvStringT& text);
    // 18: an offset record "OF…" or note of a foresight (see modes in the docs).
    virtual COrvStringT offsetRecord(const DexTSRawFS* sight, int mode, const COrvStringT& tail);
    // 19-21: observation record bodies with full, angle or horizontal-distance fields.
    virtual COrvStringT foresightFull(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                      const DexTSRawMeasurement* measurement, double targetHeight);
    virtual COrvStringT foresightAngles(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                        const DexTSRawMeasurement* measurement, double targetHeight);
    virtual COrvStringT foresightHd(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                    const DexTSRawMeasurement* measurement, double targetHeight);
    // 22: a backsight observation body "BD"/"BR"/"RB" (",HR" in RB mode).
    virtual COrvStringT backsightObs(const COrvStringT& name, int ignored, const DexTSRawMeasurement* measurement,
                                     double targetHeight);
    // 23: "<type>,OP<station>,FP<name>" and the measurement fields by kind.
    virtual COrvStringT foresight(const COrvStringT& type, const COrvStringT& name,
                                  const DexTSRawMeasurement* measurement, bool withCodes);
    // 24: angle fields, with the angle-offset notes and slope distance tag as asked.
    virtual COrvStringT angleFields(const DexTSRawMeasurement* measurement, bool horizontalOffset, bool verticalOffset,
                                    bool withSd, bool sdWithoutValue);
    // 25: "RS,PN<name>,CR<circle>…\r\n" (the name as passed).
    virtual COrvStringT resection(const COrvStringT& name, const DexTSRawMeasurement* measurement);
    // 26: ",AR|AL<h>,CE<dz>,HD<hd>".
    virtual COrvStringT hdFields(const DexTSRawMeasurement* measurement);
    // 27: ",AR|AL<h>,ZE<z>,SD<sd>" (kind 9: ",SD<sd>").
    virtual COrvStringT fullFields(const DexTSRawMeasurement* measurement);
    // 28: three offset lines "OF,HD…", "OF,LR…", "OF,VD…" (or labelled notes).
    virtual COrvStringT distanceOffsets(const DexTSRawMeasurement* measurement, bool asText, bool asNote);
    // 29: ",--<text>".
    virtual COrvStringT noteField(const COrvStringT& text);
    // 30: the same operation as slot 17.
    virtual COrvStringT noteLine(const wchar_t* text);
    // 31: the same operation as slot 5; the argument is not read.
    virtual COrvStringT emptyText(int ignored);
    // 32: "LS,HR<hr>\r\n" (3 decimals) when the target height differs exactly.
    virtual COrvStringT lsHr(double targetHeight);
    // 33: "--Backsight HR:<height>\r\n".
    virtual COrvStringT backsightHeightNote(double height);
    // 34: ",HR<height>".
    virtual COrvStringT hrField(double targetHeight);
    // 35, 36: "--BEG\r\n", "--END\r\n".
    virtual COrvStringT beginMarker();
    virtual COrvStringT endMarker();
    // 37: "--C3\r\n" and "--RECALL <item>\r\n" for every item but the last.
    virtual COrvStringT recallList(const COrvStringTVector& items);
    // 38: the codes of a point as one text.
    virtual COrvStringT codesText(const DexCodesDataInterface* codes, const DexCodeStyle* codeStyle,
                                  const COrvStringT& note);
    // 39: a distance in the job's units; empty for noValue.
    virtual COrvStringT d(double metres, int precision);
    // 40: an angle in the job's units (gons, else packed degrees-minutes-seconds).
    virtual COrvStringT a(double degrees, int precision);
    // 41
    virtual COrvStringT notePrefix();
    // 42: ",AR|AL<h>,ZE,SD".
    virtual COrvStringT angleOnlyFields(const DexTSRawMeasurement* measurement);
    // 43: "BD" for kind 1, else "FD".
    virtual COrvStringT typeFor(int kind);
    // 44, 45: the record type of a measurement or a sight by face and mode.
    virtual COrvStringT recordType(const DexTSRawMeasurement* measurement, int sightKind);
    virtual COrvStringT sightRecordType(const DexTSRawDataSightInterface* sight);
    // 46: true for a near-vertical sight, with the distance it implies.
    virtual bool verticalSightDistance(const DexTSRawMeasurement* measurement, int precision, double* distance);
    // 47: true unless the zenith lies outside (0, 180); measurements without zenith are face 1.
    virtual bool isFace1(const DexTSRawMeasurement* measurement);

private:
    // Appends the horizontal angle tag ",AR"/",AL" by the sign of value 0, with its value or bare.
    enum class AngleValue { written, bareTag };
    void appendHorizontalAngleField(COrvStringT& fields, const DexTSRawMeasurement* measurement, AngleValue value);
    // The measurement fields of an observation record by kind; false for a kind without fields.
    bool appendFieldsByKind(COrvStringT& text, const DexTSRawMeasurement* measurement);
    // The shared body of foresightFull, foresightAngles and foresightHd.
    enum class SightFields { full, angles, hd };
    COrvStringT foresightRecord(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                const DexTSRawMeasurement* measurement, double targetHeight, SightFields fields);
    // The LS line with the current instrument height and `targetHeight`.
    COrvStringT lsLine(double targetHeight);
    // A note line: the note prefix, `label`, `value`, "\r\n".
    COrvStringT labelledNote(const wchar_t* label, const COrvStringT& value);
    COrvStringT noteLineOf(const COrvStringT& text);

protected:
    double m_instrumentHeight;
    double m_targetHeight;
    bool m_heightChanged;
    COrvStringT m_stationName;
    COrvStringT m_backsightName;
    int m_backsightCounter;
    NameMap m_nameMap;
    FreeNumericNames m_freeNames;
    bool m_rbMode;
    bool m_forceNames;
    COrvStringT m_notePrefix;
    COrvStringT m_bsDirectType;
    const DexSettings* m_settings;
    const DexJobInfo* m_jobInfo;
    EDistUnits m_distUnits;
    EAngleUnits m_angleUnits;
};

}  // namespace orv::ie
