// The plan drawn as SVG. The document's user units are the job's ground units: a point at
// easting E and northing N is drawn at x = E - E0, y = N0 - N, with E0 and N0 the grid line at
// or west of the westmost point and at or north of the northmost one. North is up and both
// axes share one scale, so distances and angles on the plan are those on the ground.
//
// The layout is made on a page of 1200 by 900 drawing pixels: the plan on the left, the title
// block and legend on the right. `u`, the ground units per drawing pixel, sizes everything
// that is drawn in pixels (dots, line widths, symbols); names, the title block and the legend
// are drawn in drawing pixels inside groups scaled by `u`. The SVG's width and height (--size)
// do not change the drawing.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>

#include "plot/plan.h"
#include "plot/svg_text.h"

namespace exportgen::plot {

namespace {

// The page, in drawing pixels.
constexpr double kPageWidth = 1200.0, kPageHeight = 900.0;
// The plan's area on the page.
constexpr double kLeft = 80.0, kTop = 40.0, kRight = 860.0, kBottom = 860.0;
// The side panel: title block and legend.
constexpr double kPanel = 885.0;
// The smallest stretch of ground the plan shows across (a job of one point).
constexpr double kMinimumSpan = 10.0;
// Type and symbols, in drawing pixels.
constexpr double kLabelSize = 10.0;
constexpr double kCharacterWidth = 0.66;  // of the type size, for a label's room: a wide digit, and a gap
constexpr std::size_t kLabelCharacters = 40;
constexpr double kDot = 3.0, kStationRadius = 4.5, kTriangle = 5.0, kDiamond = 9.0, kTick = 24.0;
// A label starts this far beside its point.
constexpr double kLabelOffset = 7.0;
// The longest path data: a path longer than 30 kB or so makes libxml2 2.9 (xmllint, rsvg-convert)
// give up on a file past 10 MB ("Huge input lookup"), so long lists of symbols go in many paths.
constexpr std::size_t kPathBytes = 16000;
// A residual vector's longest length, in drawing pixels, before the exaggeration is rounded.
constexpr double kResidualLength = 40.0;

// The smallest of 1, 2, 5 times a power of ten that is at least `value` (> 0).
double roundUp(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= value) return step * power;
    }
    return 10.0 * power;
}

// The largest of 1, 2, 5 times a power of ten that is at most `value` (> 0).
double roundDown(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= value) return step * power;
    }
    return power;
}

// The decimals that write a round number (a grid line's coordinate, a scale bar's length) whole.
int decimalsOf(double round) { return std::clamp(static_cast<int>(-std::floor(std::log10(round) + 1e-9)), 0, 9); }

std::string fixedText(double value, int decimals) {
    std::string text;
    if (!appendFixed(text, value, decimals)) text = "?";
    return text;
}

// "1,234,567".
std::string grouped(std::uint64_t value) {
    std::string digits = std::to_string(value), text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

// The characters of a UTF-8 text (its code points), up to `limit`.
std::size_t characters(std::string_view utf8, std::size_t limit) {
    std::size_t count = 0;
    for (const char ch : utf8) {
        if ((static_cast<unsigned char>(ch) & 0xC0u) != 0x80u && ++count > limit) return limit + 1;
    }
    return count;
}

// `text` in lines of about `width` characters, broken at blanks.
std::vector<std::string> wrapped(const std::string& text, std::size_t width) {
    std::vector<std::string> lines(1);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view word(text.data() + at, end - at);
        if (!lines.back().empty() && characters(lines.back(), width) + 1 + characters(word, width) > width) {
            lines.emplace_back();
        }
        if (!lines.back().empty()) lines.back() += ' ';
        lines.back() += word;
        at = end + 1;
    }
    return lines;
}

}  // namespace

class PlanDrawing {
public:
    PlanDrawing(const Plan& plan, SvgOut& out) : m_plan(plan), m_out(out) { frame(); }

    void draw() {
        head();
        grid();
        sights();
        backsights();
        dots();
        stakes();
        residuals();
        stations();
        knownPoints();
        levelPoints();
        labels();
        panel();
        m_out << "</svg>\n";
        m_out.flush();
    }

private:
    // ---- the frame: scale, origin, decimals

    void frame() {
        const Plan& p = m_plan;
        const bool any = p.m_min.e <= p.m_max.e;
        const XY low = any ? p.m_min : XY{}, high = any ? p.m_max : XY{};
        const double spanE = high.e - low.e, spanN = high.n - low.n;
        // A margin of 4% on each side of the points.
        m_u = std::max(
            {spanE / ((kRight - kLeft) * 0.92), spanN / ((kBottom - kTop) * 0.92), kMinimumSpan / (kRight - kLeft)});
        m_step = roundUp(90.0 * m_u);
        m_e0 = std::floor(low.e / m_step) * m_step;
        m_n0 = std::ceil(high.n / m_step) * m_step;
        // The plan's centre on the page is the points' centre.
        const double cx = (low.e + high.e) / 2.0 - m_e0, cy = m_n0 - (low.n + high.n) / 2.0;
        m_vx = cx - (kLeft + kRight) / 2.0 * m_u;
        m_vy = cy - (kTop + kBottom) / 2.0 * m_u;
        // A quarter of a drawing pixel or finer.
        m_out.setDecimals(std::clamp(static_cast<int>(std::ceil(-std::log10(0.25 * m_u))), 0, 9));
        m_tooManySights = p.m_sightLines > kMaxSightLines;
    }

    [[nodiscard]] double x(const XY& at) const { return at.e - m_e0; }
    [[nodiscard]] double y(const XY& at) const { return m_n0 - at.n; }
    /// A length in drawing pixels, in ground units.
    [[nodiscard]] double px(double pixels) const { return pixels * m_u; }
    /// The page position of a ground position, in drawing pixels.
    [[nodiscard]] double pageX(double userX) const { return (userX - m_vx) / m_u; }
    [[nodiscard]] double pageY(double userY) const { return (userY - m_vy) / m_u; }

    void point(const XY& at) {
        m_out.number(x(at)) << ' ';
        m_out.number(y(at));
    }
    void moveTo(const XY& at) {
        m_out << 'M';
        point(at);
    }
    void lineTo(const XY& at) {
        m_out << 'L';
        point(at);
    }
    /// A drawing-pixel figure on the page (one decimal).
    void page(double value) { m_out.number(value, 1); }

    // Symbols of one kind go into paths of about kPathBytes each, inside a group that holds
    // their style (its attributes written before beginPaths()).
    void beginPaths() {
        m_out << "><path d=\"";
        m_pathStart = m_out.size();
    }
    /// Before each symbol, which starts with a move.
    void symbol() {
        if (m_out.size() - m_pathStart > kPathBytes) {
            m_out << "\"/>\n<path d=\"";
            m_pathStart = m_out.size();
        }
        m_out.maybeFlush();
    }
    void endPaths() { m_out << "\"/></g>\n"; }

    // ---- the document

    void head() {
        const Plan& p = m_plan;
        m_out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"";
        m_out.count(static_cast<unsigned long long>(p.m_options.width)) << "\" height=\"";
        m_out.count(static_cast<unsigned long long>(p.m_options.height)) << "\" viewBox=\"";
        m_out.number(m_vx) << ' ';
        m_out.number(m_vy) << ' ';
        m_out.number(kPageWidth * m_u) << ' ';
        m_out.number(kPageHeight * m_u) << "\" font-family=\"sans-serif\">\n<title>Plan of ";
        m_out.text(p.m_jobName.empty() ? std::string_view("a job") : std::string_view(p.m_jobName)) << "</title>\n";
        // The frame, for people and programs that read coordinates back.
        m_out << "<desc>x = E - E0, y = N0 - N in " << p.m_distanceUnits << "; E0 "
              << fixedText(m_e0, decimalsOf(m_step)) << ", N0 " << fixedText(m_n0, decimalsOf(m_step)) << "; "
              << std::to_string(m_out.decimals()) << " decimals</desc>\n";
        m_out << "<defs><marker id=\"stake\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"6\" "
                 "markerHeight=\"6\" orient=\"auto\"><path d=\"M0 0L10 5L0 10z\" fill=\"#c0392b\"/></marker>"
                 "<marker id=\"residual\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"6\" "
                 "markerHeight=\"6\" orient=\"auto\"><path d=\"M0 0L10 5L0 10z\" fill=\"#8e44ad\"/></marker></defs>\n";
        m_out << "<rect x=\"";
        m_out.number(m_vx) << "\" y=\"";
        m_out.number(m_vy) << "\" width=\"";
        m_out.number(kPageWidth * m_u) << "\" height=\"";
        m_out.number(kPageHeight * m_u) << "\" fill=\"#fff\"/>\n";
    }

    // The light grid over the plan's area, with its coordinates at the top and left edges.
    void grid() {
        const double left = m_vx + px(kLeft), right = m_vx + px(kRight);
        const double top = m_vy + px(kTop), bottom = m_vy + px(kBottom);
        const int decimals = decimalsOf(m_step);
        std::vector<double> columns, rows;
        for (double k = std::ceil(left / m_step); k * m_step <= right && columns.size() < 40; ++k) {
            columns.push_back(k * m_step);
        }
        for (double k = std::ceil(top / m_step); k * m_step <= bottom && rows.size() < 40; ++k) {
            rows.push_back(k * m_step);
        }
        m_out << "<path fill=\"none\" stroke=\"#e2e2e2\" stroke-width=\"";
        m_out.number(px(1.0)) << "\" d=\"";
        for (const double gx : columns) {
            m_out << 'M';
            m_out.number(gx) << ' ';
            m_out.number(top) << 'V';
            m_out.number(bottom);
        }
        for (const double gy : rows) {
            m_out << 'M';
            m_out.number(left) << ' ';
            m_out.number(gy) << 'H';
            m_out.number(right);
        }
        m_out << "\"/>\n";
        pageGroup();
        m_out << "<rect x=\"80\" y=\"40\" width=\"780\" height=\"820\" fill=\"none\" stroke=\"#999\"/>\n"
                 "<g font-size=\"9\" fill=\"#777\">";
        for (const double gx : columns) {
            m_out << "<text x=\"";
            page(pageX(gx));
            m_out << "\" y=\"34\" text-anchor=\"middle\">E " << fixedText(m_e0 + gx, decimals) << "</text>";
        }
        for (const double gy : rows) {
            m_out << "<text x=\"76\" y=\"";
            page(pageY(gy) + 3.0);
            m_out << "\" text-anchor=\"end\">N " << fixedText(m_n0 - gy, decimals) << "</text>";
        }
        m_out << "</g></g>\n";
    }

    // A group whose contents are in drawing pixels of the page.
    void pageGroup() {
        char scale[32];
        const auto end = std::to_chars(scale, scale + sizeof scale, m_u);
        m_out << "<g transform=\"translate(";
        m_out.number(m_vx) << ' ';
        m_out.number(m_vy) << ") scale(" << std::string_view(scale, static_cast<std::size_t>(end.ptr - scale))
                           << ")\">";
    }

    // ---- the job

    // One path per set-up, from the station to each target: "M t1 L s L t2 M t3 L s L t4 …".
    void sights() {
        if (m_tooManySights || m_plan.m_sightLines == 0) return;
        const Plan& p = m_plan;
        m_out << "<g id=\"sights\" fill=\"none\" stroke=\"#8fb0d8\" stroke-width=\"";
        m_out.number(px(0.6)) << "\">\n";
        for (const Plan::SetupSights& setup : p.m_setups) {
            if (setup.station == Plan::kNone || setup.first == setup.end) continue;
            const XY& station = p.m_stations[setup.station].at;
            m_out << "<path d=\"";
            m_pathStart = m_out.size();
            for (std::size_t i = setup.first; i < setup.end; i += 2) {
                symbol();  // a set-up of thousands of sights takes a few paths
                moveTo(p.m_targets[i].at);
                lineTo(station);
                if (i + 1 < setup.end) lineTo(p.m_targets[i + 1].at);
            }
            m_out << "\"/>\n";
        }
        m_out << "</g>\n";
    }

    void backsights() {
        const Plan& p = m_plan;
        if (p.m_backsightLines.empty() && p.m_backsightTicks.empty()) return;
        m_out << "<g fill=\"none\" stroke=\"#555\" stroke-width=\"";
        m_out.number(px(1.0)) << "\" stroke-dasharray=\"";
        m_out.number(px(5.0)) << ' ';
        m_out.number(px(3.0)) << '"';
        beginPaths();
        for (const Plan::Segment& line : p.m_backsightLines) {
            symbol();
            moveTo(line.from);
            lineTo(line.to);
        }
        constexpr double kRadians = 3.14159265358979323846 / 180.0;
        for (const Plan::Tick& tick : p.m_backsightTicks) {
            symbol();
            moveTo(tick.at);
            m_out << 'l';
            m_out.number(px(kTick) * std::sin(tick.azimuth * kRadians)) << ' ';
            m_out.number(-px(kTick) * std::cos(tick.azimuth * kRadians));
        }
        endPaths();
    }

    // Every target as a dot: round-capped zero-length strokes, in as few paths as may be.
    void dots() {
        const Plan& p = m_plan;
        bool any = false;
        for (const Plan::Target& target : p.m_targets) {
            if (target.kind == Plan::Target::resection) continue;
            if (!any) {
                m_out << "<g id=\"targets\" fill=\"none\" stroke=\"#1f4e8c\" stroke-linecap=\"round\" stroke-width=\"";
                m_out.number(px(kDot)) << '"';
                beginPaths();
                any = true;
            }
            symbol();
            moveTo(target.at);
            m_out << "h0";
        }
        if (any) endPaths();
    }

    void levelPoints() {
        const Plan& p = m_plan;
        if (p.m_levelPoints.empty()) return;
        const double r = px(kDiamond);
        m_out << "<g fill=\"none\" stroke=\"#e67e22\" stroke-width=\"";
        m_out.number(px(1.5)) << '"';
        beginPaths();
        for (const Plan::Mark& mark : p.m_levelPoints) {
            symbol();
            moveTo(mark.at);
            m_out << "m0 ";
            m_out.number(-r) << 'l';
            m_out.number(r) << ' ';
            m_out.number(r) << 'l';
            m_out.number(-r) << ' ';
            m_out.number(r) << 'l';
            m_out.number(-r) << ' ';
            m_out.number(-r) << 'z';
        }
        endPaths();
    }

    // An arrow from where each point was staked to its design point.
    void stakes() {
        const Plan& p = m_plan;
        if (p.m_stakes.empty()) return;
        m_out << "<g fill=\"none\" stroke=\"#c0392b\" stroke-width=\"";
        m_out.number(px(1.2)) << "\" marker-end=\"url(#stake)\">";
        for (const Plan::Stake& stake : p.m_stakes) {
            m_out << "<path d=\"";
            moveTo(stake.staked);
            lineTo(stake.design);
            m_out << "\"/>";
        }
        m_out << "</g>\n";
    }

    // Each resection sight's residual at its known point, exaggerated so that the largest is
    // about kResidualLength drawing pixels long (never shortened).
    void residuals() {
        const Plan& p = m_plan;
        double largest = 0.0;
        for (const Plan::Vector& v : p.m_residuals) largest = std::max(largest, std::hypot(v.dn, v.de));
        if (p.m_residuals.empty() || !(largest > 0.0) || !std::isfinite(largest)) return;
        m_exaggeration = std::clamp(roundDown(px(kResidualLength) / largest), 1.0, 1e6);
        m_out << "<g fill=\"none\" stroke=\"#8e44ad\" stroke-width=\"";
        m_out.number(px(1.2)) << "\" marker-end=\"url(#residual)\">";
        for (const Plan::Vector& v : p.m_residuals) {
            m_out << "<path d=\"";
            moveTo(v.at);
            m_out << 'l';
            m_out.number(v.de * m_exaggeration) << ' ';
            m_out.number(-v.dn * m_exaggeration);
            m_out << "\"/>";
        }
        m_out << "</g>\n";
    }

    // Triangles, each subpath starting at the point itself.
    void knownPoints() {
        const Plan& p = m_plan;
        if (p.m_knownPoints.empty()) return;
        const double r = px(kTriangle), half = r * 0.866, low = r * 1.5;
        m_out << "<g id=\"known-points\" fill=\"#2e7d32\" stroke=\"#fff\" stroke-width=\"";
        m_out.number(px(0.6)) << '"';
        beginPaths();
        for (const Plan::Mark& mark : p.m_knownPoints) {
            symbol();
            moveTo(mark.at);
            m_out << "m0 ";
            m_out.number(-r) << 'l';
            m_out.number(half) << ' ';
            m_out.number(low) << 'h';
            m_out.number(-2.0 * half) << 'z';
        }
        endPaths();
    }

    // Circles, each subpath starting at the station itself: filled where the position is
    // recorded, hollow where it is derived.
    void stations() {
        const Plan& p = m_plan;
        const double r = px(kStationRadius);
        for (const bool recorded : {true, false}) {
            if ((recorded ? p.m_recordedStations : p.m_derivedStations) == 0) continue;
            m_out << (recorded ? "<g id=\"stations-recorded\" fill=\"#111\" stroke=\"#111\""
                               : "<g id=\"stations-derived\" fill=\"#fff\" stroke=\"#111\"")
                  << " stroke-width=\"";
            m_out.number(px(recorded ? 0.8 : 1.6)) << '"';
            beginPaths();
            for (const Plan::Station& station : p.m_stations) {
                if (station.recorded != recorded) continue;
                symbol();
                moveTo(station.at);
                m_out << 'm';
                m_out.number(-r) << " 0a";
                m_out.number(r) << ' ';
                m_out.number(r) << " 0 1 0 ";
                m_out.number(2.0 * r) << " 0a";
                m_out.number(r) << ' ';
                m_out.number(r) << " 0 1 0 ";
                m_out.number(-2.0 * r) << " 0z";
            }
            endPaths();
        }
    }

    // ---- labels: stations first, then known points, stake-outs, level points and targets; one
    // label to each free stretch of cells of the page's grid, so names never overlap.

    struct Label {
        XY at;
        std::string_view text;
    };

    bool place(const Label& label) {
        if (label.text.empty()) return true;
        if (m_labelsDrawn >= kMaxLabels) {
            ++m_overCap;
            return false;
        }
        constexpr double kCellWidth = 6.0, kCellHeight = 12.0;
        const double width =
            static_cast<double>(std::min(characters(label.text, kLabelCharacters), kLabelCharacters + 1)) * kLabelSize *
                kCharacterWidth +
            3.0;
        const double pageAtX = pageX(x(label.at)), pageAtY = pageY(y(label.at));
        // To the right of the point, or to its left near the plan's right edge.
        const bool left = pageAtX + kLabelOffset + width > kRight;
        const double from = left ? pageAtX - kLabelOffset - width : pageAtX + kLabelOffset;
        const auto column = [&](double at) { return static_cast<long long>(std::floor(at / kCellWidth)); };
        const auto row = [&](double at) { return static_cast<long long>(std::floor(at / kCellHeight)); };
        const long long firstRow = row(pageAtY - 7.0), lastRow = row(pageAtY + 4.0);
        const long long firstColumn = column(from), lastColumn = column(from + width);
        const auto key = [](long long c, long long r) {
            return (static_cast<unsigned long long>(c) << 32) ^ static_cast<unsigned long long>(r & 0xFFFFFFFF);
        };
        for (long long r = firstRow; r <= lastRow; ++r) {
            for (long long c = firstColumn; c <= lastColumn; ++c) {
                if (m_cells.count(key(c, r)) != 0) {
                    ++m_overlapping;
                    return false;
                }
            }
        }
        for (long long r = firstRow; r <= lastRow; ++r) {
            for (long long c = firstColumn; c <= lastColumn; ++c) m_cells.insert(key(c, r));
        }
        m_out << "<text x=\"";
        page(left ? pageAtX - kLabelOffset : pageAtX + kLabelOffset);
        m_out << "\" y=\"";
        page(pageAtY + 3.5);
        m_out << '"' << (left ? " text-anchor=\"end\">" : ">");
        m_out.text(label.text, kLabelCharacters) << "</text>";
        ++m_labelsDrawn;
        m_out.maybeFlush();
        return true;
    }

    void labels() {
        const Plan& p = m_plan;
        if (p.m_options.labels == Labels::none) return;
        // In drawing pixels of the page, as the title block: a renderer's type then stays at
        // sizes it handles, however far the plan reaches.
        pageGroup();
        m_out << "<g id=\"labels\" font-size=\"";
        page(kLabelSize);
        m_out << "\" fill=\"#222\">\n";
        // Stations first, then stake-outs, known points, level points and targets; a point
        // already named (a known point a station stands on, a foresight to a station) is not
        // named again.
        std::unordered_set<std::string_view> named;
        for (const Plan::Station& station : p.m_stations) {
            named.insert(p.name(station.name));
            place({station.at, p.name(station.name)});
        }
        if (p.m_options.labels == Labels::all) {
            const std::string unit = " " + p.m_unitSymbol;
            for (const Plan::Stake& stake : p.m_stakes) {
                std::string text(p.name(stake.name));
                text += (text.empty() ? "" : ": ") + fixedText(stake.horizontal / p.m_metresPerUnit, 3) + unit;
                if (std::isnan(stake.rise)) {
                    text += ", height unknown";
                } else {
                    // Staked above the design: cut down to it; below: fill up to it.
                    const double rise = stake.rise / p.m_metresPerUnit;
                    text += rise > 0.0   ? ", cut " + fixedText(rise, 3)
                            : rise < 0.0 ? ", fill " + fixedText(-rise, 3)
                                         : std::string(", on grade");
                }
                m_stakeTexts.push_back(std::move(text));
            }
            for (std::size_t i = 0; i < p.m_stakes.size(); ++i) place({p.m_stakes[i].staked, m_stakeTexts[i]});
        }
        for (const Plan::Mark& mark : p.m_knownPoints) {
            if (named.insert(p.name(mark.name)).second) place({mark.at, p.name(mark.name)});
        }
        if (p.m_options.labels == Labels::all) {
            for (const Plan::Mark& mark : p.m_levelPoints) {
                if (named.insert(p.name(mark.name)).second) place({mark.at, p.name(mark.name)});
            }
            if (!m_tooManySights) {
                for (const Plan::Target& target : p.m_targets) {
                    // A staked point is named in its stake-out's label.
                    if (target.kind == Plan::Target::staked || named.count(p.name(target.name)) != 0) continue;
                    place({target.at, p.name(target.name)});
                }
            }
        }
        m_out << "</g></g>\n";
    }

    // ---- the title block, the legend, the scale bar and the north arrow, in drawing pixels

    void line(double atY, std::string_view text, double size = 11.0, bool bold = false) {
        m_out << "<text x=\"";
        page(kPanel);
        m_out << "\" y=\"";
        page(atY);
        m_out << '"';
        if (size != 11.0) {
            m_out << " font-size=\"";
            page(size);
            m_out << '"';
        }
        if (bold) m_out << " font-weight=\"bold\"";
        m_out << '>';
        m_out.text(text, 52) << "</text>\n";
    }

    void panel() {
        const Plan& p = m_plan;
        pageGroup();
        m_out << "\n<g font-size=\"11\" fill=\"#222\">\n";
        double at = 52.0;
        const auto next = [&](std::string_view text, double gap = 15.0) {
            line(at, text);
            at += gap;
        };
        line(at, p.m_jobName.empty() ? std::string_view("(job without a name)") : std::string_view(p.m_jobName), 15.0,
             true);
        at += 19.0;
        if (!p.m_jobText2.empty()) next(p.m_jobText2);
        if (!p.m_jobText3.empty()) next(p.m_jobText3);
        next("input: " + p.m_options.input);
        next("units: " + p.m_distanceUnits + ", " + p.m_angleUnits);
        next("created: " + (p.m_created.empty() ? std::string("not recorded") : p.m_created));
        if (!p.m_options.runDate.empty()) next("plotted: " + p.m_options.runDate);
        const int decimals = decimalsOf(m_step);
        next("grid " + fixedText(m_step, decimals) + " " + p.m_unitSymbol + "; E0 " + fixedText(m_e0, decimals) +
                 ", N0 " + fixedText(m_n0, decimals),
             21.0);
        const JobCount& count = p.m_count;
        next("set-ups: " + grouped(p.m_setupCount));
        next("stations: " + grouped(p.m_recordedStations) + " recorded, " + grouped(p.m_derivedStations) +
             " derived, " + grouped(p.m_missing.stations) + " unplaced");
        next("sights: " + grouped(p.m_sights) + ", " + grouped(p.m_sightsDrawn) + " drawn");
        next("known points: " + grouped(count.of(Item::knownPoint)) + "; stake-outs: " +
             grouped(count.of(Item::stakeout)) + "; level runs: " + grouped(count.of(Item::levelRun)));
        const Plan::Missing& missing = p.m_missing;
        if (missing.stations + missing.sights + missing.stakeouts + missing.levelPoints == 0) {
            next("nothing left unplaced", 24.0);
        } else {
            std::string text = "not placed:";
            const auto add = [&](std::uint64_t n, const char* one, const char* many) {
                if (n > 0) text += (text.back() == ':' ? " " : ", ") + grouped(n) + " " + (n == 1 ? one : many);
            };
            add(missing.stations, "station", "stations");
            add(missing.sights, "target", "targets");
            add(missing.stakeouts, "stake-out", "stake-outs");
            add(missing.levelPoints, "level point", "level points");
            next(text, 24.0);
        }
        legend(at);
        m_out << "</g>\n";
        scaleBar();
        northArrow();
        m_out << "</g>\n";
    }

    void legend(double at) {
        const Plan& p = m_plan;
        const double symbol = kPanel + 8.0, text = kPanel + 22.0;
        const auto entry = [&](std::string_view what) {
            m_out << "<text x=\"";
            page(text);
            m_out << "\" y=\"";
            page(at + 4.0);
            m_out << "\">";
            m_out.text(what, 48) << "</text>\n";
            at += 16.0;
        };
        const auto sample = [&](std::string_view markup) {
            m_out << "<g transform=\"translate(";
            page(symbol);
            m_out << ' ';
            page(at);
            m_out << ")\">" << markup << "</g>";
        };
        line(at, "Legend", 12.0, true);
        at += 18.0;
        sample("<path d=\"M0 -6l5.2 9h-10.4z\" fill=\"#2e7d32\"/>");
        entry("known point");
        sample("<circle r=\"4.5\" fill=\"#111\"/>");
        entry("station, position recorded");
        sample("<circle r=\"4.5\" fill=\"#fff\" stroke=\"#111\" stroke-width=\"1.6\"/>");
        entry("station, position derived");
        at -= 4.0;
        entry("(traverse, free station, --assume)");
        sample("<path d=\"M-8 4L6 -4\" stroke=\"#8fb0d8\"/><circle cx=\"6\" cy=\"-4\" r=\"1.5\" fill=\"#1f4e8c\"/>");
        entry("sight and target");
        sample("<path d=\"M-8 0H8\" stroke=\"#555\" stroke-dasharray=\"5 3\"/>");
        entry("backsight, or its bearing");
        sample("<path d=\"M-8 0H5\" stroke=\"#c0392b\" stroke-width=\"1.2\" marker-end=\"url(#stake)\"/>");
        entry("stake-out: staked to design point");
        if (m_exaggeration > 0.0) {
            sample("<path d=\"M-8 0H5\" stroke=\"#8e44ad\" stroke-width=\"1.2\" marker-end=\"url(#residual)\"/>");
            entry("resection residual, \xC3\x97 " + grouped(static_cast<std::uint64_t>(m_exaggeration)));
        }
        sample("<path d=\"M0 -6l6 6l-6 6l-6 -6z\" fill=\"none\" stroke=\"#e67e22\" stroke-width=\"1.5\"/>");
        entry("level run point");
        at += 6.0;
        // What is not drawn, and why.
        const Plan::Missing& missing = p.m_missing;
        if (missing.stations > 0) {
            std::string names;
            for (const std::string& name : p.m_unplacedShown) {
                names += (names.empty() ? "" : ", ") + name;
            }
            if (missing.stations > p.m_unplacedShown.size()) {
                names += " and " + grouped(missing.stations - p.m_unplacedShown.size()) + " more";
            }
            for (const std::string& piece : wrapped("not drawn, no position: " + names, 46)) {
                line(at, piece);
                at += 15.0;
            }
            line(at,
                 p.m_options.assumed ? "(--points places them)" : "(--assume N,E,Z[,BEARING] or --points places them)");
            at += 15.0;
        }
        const auto note = [&](std::uint64_t n, const char* one, const std::string& many) {
            if (n == 0) return;
            line(at, grouped(n) + " " + (n == 1 ? std::string(one) : many));
            at += 15.0;
        };
        note(missing.sights, "target not drawn: no position, or no orientation",
             "targets not drawn: no position, or no orientation");
        note(missing.stakeouts, "stake-out not drawn: a position unknown", "stake-outs not drawn: a position unknown");
        note(p.m_residualsMissing, "resection residual unknown", "resection residuals unknown");
        note(missing.levelPoints, "level run point the job does not place", "level run points the job does not place");
        note(missing.outOfRange, "position not drawn: out of range", "positions not drawn: out of range");
        if (m_tooManySights) {
            note(p.m_sightLines, "sight line not drawn (over 100,000)", "sight lines not drawn (over 100,000)");
            if (p.m_options.labels == Labels::all) line(at, "targets unlabelled (over 100,000 sights)"), at += 15.0;
        }
        note(m_overlapping, "name not drawn where it would overlap", "names not drawn where they would overlap");
        note(m_overCap, "name not drawn past the first 2,000", "names not drawn past the first 2,000");
    }

    // A round length of about a fifth of the plan's width.
    void scaleBar() {
        const Plan& p = m_plan;
        const double length = roundDown(160.0 * m_u), width = length / m_u;
        const double x0 = kPanel, y0 = 850.0;
        m_out << "<path fill=\"none\" stroke=\"#222\" stroke-width=\"1.5\" d=\"M";
        page(x0);
        m_out << " 842V850H";
        page(x0 + width);
        m_out << "V842M";
        page(x0 + width / 2.0);
        m_out << " 850V845\"/>\n<text x=\"";
        page(x0 + width + 6.0);
        m_out << "\" y=\"";
        page(y0);
        m_out << "\" font-size=\"11\">" << fixedText(length, decimalsOf(length)) << ' ' << p.m_unitSymbol
              << "</text>\n";
    }

    void northArrow() {
        m_out << "<g transform=\"translate(1165 800)\"><path d=\"M0 -24L8 8L0 2L-8 8z\" fill=\"#222\"/>"
                 "<text y=\"-29\" text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\">N</text></g>\n";
    }

    const Plan& m_plan;
    SvgOut& m_out;
    double m_u = 1.0, m_step = 1.0, m_e0 = 0.0, m_n0 = 0.0, m_vx = 0.0, m_vy = 0.0;
    double m_exaggeration = 0.0;
    bool m_tooManySights = false;
    std::size_t m_pathStart = 0;
    std::unordered_set<unsigned long long> m_cells;
    std::vector<std::string> m_stakeTexts;
    std::size_t m_labelsDrawn = 0;
    std::uint64_t m_overlapping = 0, m_overCap = 0;
};

std::size_t Plan::write(RecordSink& sink) const {
    SvgOut out(sink);
    PlanDrawing(*this, out).draw();
    return out.lines();
}

}  // namespace exportgen::plot
