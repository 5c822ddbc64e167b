#include "host/TempoMap.h"

#include <algorithm>
#include <cmath>

TempoMap::TempoMap(double bpm) {
    segments.push_back({0.0, 0.0, bpm > 0.0 ? bpm : 120.0});
}

void TempoMap::addChange(double beat, double bpm) {
    const Segment& last = segments.back();
    if (!(bpm > 0.0) || beat < last.beat) return;
    if (beat == last.beat) {
        segments.back().bpm = bpm;  // a later change at the same beat wins
        return;
    }
    segments.push_back({beat, secondsAt(beat), bpm});
}

void TempoMap::setTimeSignature(int numerator, int denominator) {
    if (numerator < 1 || denominator < 1) return;
    sigNumerator = numerator;
    sigDenominator = denominator;
}

// Segments rise in beat and in seconds: the one in force is found by halving, so files with
// many tempo changes cost no more than their length.
const TempoMap::Segment& TempoMap::segmentForBeat(double beat) const {
    const auto after = std::upper_bound(segments.begin() + 1, segments.end(), beat,
                                        [](double b, const Segment& s) { return b < s.beat; });
    return *(after - 1);
}

const TempoMap::Segment& TempoMap::segmentForSeconds(double seconds) const {
    const auto after = std::upper_bound(segments.begin() + 1, segments.end(), seconds,
                                        [](double t, const Segment& s) { return t < s.seconds; });
    return *(after - 1);
}

double TempoMap::secondsAt(double beat) const {
    const Segment& s = segmentForBeat(beat);
    return s.seconds + (beat - s.beat) * 60.0 / s.bpm;
}

double TempoMap::beatAt(double seconds) const {
    const Segment& s = segmentForSeconds(seconds);
    return s.beat + (seconds - s.seconds) * s.bpm / 60.0;
}

double TempoMap::tempoAt(double seconds) const {
    return segmentForSeconds(seconds).bpm;
}

double TempoMap::barStartBeat(double beat) const {
    const double beatsPerBar = sigNumerator * 4.0 / sigDenominator;
    return std::floor(beat / beatsPerBar) * beatsPerBar;
}
