// CSDRRawGenerator: writes the SDR raw format, fixed-width records of a two-digit record
// number, a two-letter derivation code and blank-padded fields ("09F1", station and target
// names right-aligned in 16 characters, values left-aligned in 16 characters, "\r\n").
//
// It derives from CRW5Generator and reuses its traversal of sights and measurements, its
// station state and point-name map; it replaces the record texts, writes "13NM" wherever the
// RW5 records write their note prefix, and adds level-run, stake-out and residual records.
// The first over-long name or guarded field sets the report status to 18 for good; the text
// is still written, cut to its field so later columns stay in place.
//
// Units of what the host passes: metres and decimal degrees; noValue (the largest finite
// double) gives an all-blank field. Virtual operations are declared in slot order: the 48 of
// CRW5Generator (some overridden), then 17 of its own.
#pragma once

#include "contracts/dex_data.h"
#include "rw5/CRW5Generator.h"

namespace orv::ie {

/// The kinds of an SDR note record "13" and their two letters.
enum ESdrNoteKind : unsigned int {
    eNoteAT = 0,  ///< "AT" attribute note
    eNoteFC = 1,  ///< "FC" feature code longer than its field
    eNoteGO = 2,
    eNoteOS = 3,  ///< "OS" observation note of an observed point
    eNoteQC = 4,
    eNoteTL = 5,
    eNoteTS = 6,
    eNoteCP = 7,
    eNoteJS = 8,
    eNoteCC = 9,
    eNotePC = 10,
    eNoteST = 11,
    eNoteTP = 12,
    eNoteSO = 13,
    eNoteSC = 14,
    eNotePT = 15,
    eNoteOO = 16,
    eNoteNM = 17,
};

class CSDRRawGenerator : public CRW5Generator, public DexSdrEnum {
public:
    /// The status value once a guarded field was longer than its width.
    static constexpr int kFieldOverflow = 18;

    /// Takes the units from `settings` for `jobInfo`; no name list, names not forced, RB mode off.
    CSDRRawGenerator(const DexSettings* settings, const DexJobInfo* jobInfo);

    /// 0, or 18 from the first over-long guarded field on.
    [[nodiscard]] int reportStatus() const noexcept { return m_reportStatus; }

    /// A field of `width` characters through getReportString, after setting the report
    /// status when `text` is longer than the field.
    COrvStringT guardedField(int width, bool alignRight, const COrvStringT& text);

    // slot 0
    ~CSDRRawGenerator() override;
    // 2: "02<derivation><name><n><e><z><hi><code>\r\n", values with 4 decimals; sets the station
    // and, when it differs exactly, the instrument height.
    COrvStringT occupy(const COrvStringT& derivation, const COrvStringT& name, const COrvStringT& code, double northing,
                       double easting, double elevation, double instrumentHeight) override;
    // 4: "09F1"/"09F2" record with code field, then "13FC" and "13AT" notes.
    COrvStringT sightNoteLine(const DexTSRawDataSightInterface* sight, const DexCodeStyle* codeStyle) override;
    // 9: "03NM<hr>\r\n" unless nothing changed (exact comparison).
    COrvStringT lsHiHr(double targetHeight, bool onlyIfChanged) override;
    // 11: "07TP<station><backsight><first><second>\r\n", angles with 8 decimals in the order
    // given. A bearing-only backsight is named "#BS<counter>"; its point still enters the map.
    COrvStringT backsight(const COrvStringT& name, bool bearingOnly, double firstAngle, double secondAngle) override;
    // 19-21: "09F1"/"09F2" records without line end.
    COrvStringT foresightFull(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                              const DexTSRawMeasurement* measurement, double targetHeight) override;
    COrvStringT foresightAngles(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                const DexTSRawMeasurement* measurement, double targetHeight) override;
    COrvStringT foresightHd(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                            const DexTSRawMeasurement* measurement, double targetHeight) override;
    // 23: "09<derivation><station><target>" and the observation fields by kind.
    COrvStringT foresight(const COrvStringT& derivation, const COrvStringT& name,
                          const DexTSRawMeasurement* measurement, bool withCodes) override;
    // 26: observation fields from horizontal distance and height difference.
    COrvStringT hdFields(const DexTSRawMeasurement* measurement) override;
    // 27: observation fields by measurement kind.
    COrvStringT fullFields(const DexTSRawMeasurement* measurement) override;
    // 29: the 16-character code field.
    COrvStringT noteField(const COrvStringT& code) override;
    // 39: a distance in metres, feet (units 1, 3) or international feet (2, 4); empty for noValue.
    // 40: an angle in gons (1), mils (2) or decimal degrees (3, 4); other units give decimal
    // degrees with 6 decimals whatever `precision` asks. Empty for noValue.
    COrvStringT d(double metres, int precision) override;
    COrvStringT a(double degrees, int precision) override;
    // 43: "MD" for every kind.
    COrvStringT typeFor(int kind) override;

    // 48: three 16-character value fields: `first` and `second` as distances (4 decimals) or,
    // when `angular`, angles (9 decimals); `third` always a distance.
    virtual COrvStringT valueFields(double first, double second, double third, bool angular);
    // 49: "13AT" notes of the filled attributes of the first code.
    virtual COrvStringT attributeNotes(const DexCodesDataInterface* codes);
    // 50: "<head><name><n><e><z><code>\r\n", once per name unless forced.
    virtual COrvStringT coordinateRecord(const COrvStringT& head, const COrvStringT& name, const DexStation* station,
                                         const COrvStringT& code, int precision, bool force, bool angular);
    // 51: as coordinateRecord without code field and line end.
    virtual COrvStringT coordinateFields(const COrvStringT& head, const COrvStringT& name, const DexStation* station,
                                         int spare, bool force, bool angular);
    // 52: observation fields with the distance blank.
    virtual COrvStringT anglePairFields(const DexTSRawMeasurement* measurement);
    // 53: distance (4 decimals), zenith and horizontal angle (8 decimals), in that order, as three
    // 16-character fields; noValue gives a blank field.
    virtual COrvStringT observationFields(double horizontalAngle, double zenithAngle, double distance);
    // 54: "13NMLevel Run: <run>[ Description: <text>]\r\n".
    virtual COrvStringT levelRunNote(const COrvStringT& runName, const COrvStringT& description);
    // 55: "61LV" (when the elevation is given) and "62LV".
    virtual COrvStringT levelStartRecords(const COrvStringT& name, double elevation, const COrvStringT& text,
                                          int number);
    // 56: "63LV" (reading kind 0) or "64LV".
    virtual COrvStringT levelReadingRecord(const COrvStringT& name, double firstValue,
                                           const DexTSRawMeasurement* reading, double secondValue,
                                           const COrvStringT& text, bool flag, int number);
    // 57: two "13SO" notes of a staked point.
    virtual COrvStringT stakeoutNotes(const COrvStringT& designId, const COrvStringT& stakedPoint, double deltaNorth,
                                      double deltaEast, double cutFill);
    // 58: "13<kind letters><60-character text>\r\n"; empty for a kind of 18 or more.
    virtual COrvStringT noteRecord(const COrvStringT& text, unsigned int kind);
    // 59, 60: a "13OS" note and an "08TP" record of an observed point (empty for a null station or
    // measurement). A point written before gets no "08TP": the angle note still stands alone,
    // the offset note is left out too. 59 also gives nothing for a point without name.
    virtual COrvStringT anglePointRecords(const DexStation* station, const DexTSRawMeasurement* measurement,
                                          const COrvStringT& code);
    virtual COrvStringT offsetPointRecords(const DexStation* station, const DexTSRawMeasurement* measurement,
                                           const COrvStringT& code);
    // 61: three "13NMResidual …" notes.
    virtual COrvStringT residualNotes(double residualNorth, double residualEast, double residualHeight);
    // 62: the current backsight name, or a new generated "#BS<n>".
    virtual COrvStringT backsightName();
    // 63: 16.
    virtual int codeFieldWidth();
    // 64: the record number with two digits.
    virtual COrvStringT recordNumber(int number);

private:
    // Which fields an observation record of foresightFull, foresightAngles and foresightHd carries.
    enum class ObservationFields { full, anglePair, hd };

    // Sets the report status when `text` is longer than `width` (first time only).
    void guardLength(int width, const COrvStringT& text) noexcept;
    // Where a text stands in its fixed-width field.
    enum class Align { left, right };
    // A plain field: the text padded with blanks to `width`, a longer text cut to it.
    static void appendField(COrvStringT& out, int width, Align align, const COrvStringT& text);
    // A value field: left-aligned in 16 characters.
    static void appendValue(COrvStringT& out, const COrvStringT& text);
    // guardedField appended to `out`.
    void appendGuarded(COrvStringT& out, int width, Align align, const COrvStringT& text);
    // "09", the derivation code, the station and the target name fields.
    COrvStringT observationHead(const COrvStringT& derivation, const COrvStringT& target);
    // "F1" for face 1 (and for measurements without zenith), "F2" for face 2.
    COrvStringT faceCode(const DexTSRawMeasurement* measurement);
    // The shared body of foresightFull, foresightAngles and foresightHd.
    COrvStringT observationRecord(const COrvStringT& name, const DexTSRawMeasurement* measurement,
                                  ObservationFields fields);
    // "#BS" and the backsight counter, which then moves on by one.
    COrvStringT nextGeneratedBacksightName();
    // The note text of an observed point and its "08TP" coordinate record.
    COrvStringT observedPointCoordinates(const DexStation* station, const COrvStringT& code);

protected:
    int m_reportStatus;
};

}  // namespace orv::ie
