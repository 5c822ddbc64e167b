#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

// What the preset sources may address: every named parameter with its encoding, the
// options of each choice, the default values, and the modulation destinations.

enum class ParamKind { Unnamed, Switch, GaterStep, Continuous, Choice };

// Options of a choice, or the named positions of a continuous parameter (a wave, a vowel, a
// note length). Option i is stored as (i + offset) / scale.
struct ChoiceInfo {
    float scale = 1.0f;
    float offset = 0.1f;
    std::vector<std::string> options;
};

class Catalogue {
public:
    Catalogue();

    // Index of a parameter whose name never changes, or -1.
    int findFixedName(const std::string& name) const;
    // Index of an XY assignment slot named after the Block's current type and modes, or -1.
    int findTypedName(const std::string& name, const float* values) const;
    // Modulation destination 0..89 named by `text` for the preset's Block types, -1 when
    // unknown, -2 when the text names more than one destination.
    int findDestination(const std::string& text, const float* values) const;

    ParamKind kind(int index) const { return kinds[index]; }
    // Options of a choice parameter (the same whatever the context), else null.
    const ChoiceInfo* choice(int index) const;
    // Named positions a continuous parameter accepts in this context, else null.
    const ChoiceInfo* namedPositions(int index, const float* values) const;
    float defaultValue(int index) const { return defaults[index]; }

    // Stepped reading of a choice, as every reader of a choice does.
    static int decode(float value, float scale, int count);
    // The last option of a choice whose scale is its count - 1 would land above 1; 1 still
    // steps to it, and is what the store keeps of the larger value anyway.
    static float encode(int option, const ChoiceInfo& info) {
        return std::min(1.0f, (static_cast<float>(option) + info.offset) / info.scale);
    }

private:
    ParamKind kinds[1024] = {};
    float defaults[1024] = {};
    std::map<int, ChoiceInfo> choices;
    std::map<std::string, int> fixedNames;
};
