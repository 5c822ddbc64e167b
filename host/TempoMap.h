#pragma once

// Where the beats fall in time: a tempo that may change at given beats, and a time signature.
// Beats are quarter notes counted from 0 at the start of the render.

#include <vector>

class TempoMap {
public:
    explicit TempoMap(double bpm = 120.0);

    // A change at a beat at or after the last one; an earlier or non-positive one is ignored.
    void addChange(double beat, double bpm);
    void setTimeSignature(int numerator, int denominator);

    double secondsAt(double beat) const;
    double beatAt(double seconds) const;
    double tempoAt(double seconds) const;

    int numerator() const { return sigNumerator; }
    int denominator() const { return sigDenominator; }
    // The beat on which the bar holding beat starts.
    double barStartBeat(double beat) const;

private:
    struct Segment {
        double beat;
        double seconds;
        double bpm;
    };
    const Segment& segmentForBeat(double beat) const;
    const Segment& segmentForSeconds(double seconds) const;

    std::vector<Segment> segments;
    int sigNumerator = 4;
    int sigDenominator = 4;
};
