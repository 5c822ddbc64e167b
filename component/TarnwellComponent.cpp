// The component library: the adapter bound to the effect, and the two exported entry points.
// Everything else in the library stays hidden (see exports.map).

#include "component/TarnwellComponent.h"

#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "framework/auadapter/AUPLUGIN.h"
#include "framework/auadapter/CocoaView.h"
#include "sdk/corefoundation/CFBundle.h"

static_assert(kTarnwellQuietSpanProperty == AUPLUGIN::kQuietSpanProperty);

namespace {

// Every effect this library creates gets the editor.
const bool editorInstalled = (setEditorFactory(&createTarnwellEditor), true);

class TarnwellAU : public AUPLUGIN {
public:
    explicit TarnwellAU(AudioComponentInstance instance) : AUPLUGIN(instance, &createEffectInstance) {}

    // The saved state holds the effect's program record itself.
    bool ReadProgramRecord(int program, char* name, std::size_t nameSize, float* values) override {
        APluginProgram* record = recordOf(program);
        if (record == nullptr) return false;
        std::snprintf(name, nameSize, "%.*s", APluginProgram::NAME_SIZE - 1, record->name);
        for (int i = 0; i < PARAMETER_COUNT; ++i) values[i] = record->values[i];
        return true;
    }
    bool WriteProgramRecord(int program, const char* name, const float* values) override {
        APluginProgram* record = recordOf(program);
        if (record == nullptr) return false;
        std::snprintf(record->name, sizeof record->name, "%s", name);
        for (int i = 0; i < PARAMETER_COUNT; ++i) record->values[i] = values[i];
        return true;
    }

private:
    APluginProgram* recordOf(int program) {
        auto* plugin = dynamic_cast<APlugin*>(GetEffect());
        if (plugin == nullptr || program < 0 || program >= static_cast<int>(std::size(plugin->programs)))
            return nullptr;
        return &plugin->programs[program];
    }
};

// Registers the bundle this library sits in (…/Tarnwell.component/Contents/MacOS/Tarnwell.so)
// so that resource look-ups find it wherever the component was loaded from.
void registerOwnBundle() {
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&registerOwnBundle), &info) == 0 || info.dli_fname == nullptr)
            return;
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved) == nullptr) return;
        std::string path = resolved;
        for (int level = 0; level < 3; ++level) {  // up past MacOS and Contents
            const std::size_t slash = path.rfind('/');
            if (slash == std::string::npos) return;
            path.erase(slash);
        }
        tarnwell::cf::registerBundle(kTarnwellBundleIdentifier, path.c_str());
    });
}

// The view classes a host finds by name are there as soon as the library is loaded.
const bool viewClassesRegistered = (registerCocoaViewClasses(), true);

}  // namespace

extern "C" __attribute__((visibility("default"))) AudioComponentPlugInInterface* AUPLUGINFactory(
    const AudioComponentDescription* desc) {
    registerOwnBundle();
    return AUMIDIEffectFactory<TarnwellAU>::Factory(desc);
}

// The single-entry form: open (-1) takes the instance and returns the unit through the
// pointer in params[1]; close (-2) deletes the unit given as storage; every other selector
// goes to the unit.
extern "C" __attribute__((visibility("default"))) OSStatus AUPLUGINEntry(ComponentParameters* params,
                                                                         void* storage) {
    if (params == nullptr) return kAudio_ParamError;
    if (params->what == kComponentOpenSelect) {
        registerOwnBundle();
        auto** out = reinterpret_cast<void**>(params->params[1]);
        if (out == nullptr) return kAudio_ParamError;
        return ComponentBase::Guard([&] {
            auto* unit = new TarnwellAU(reinterpret_cast<AudioComponentInstance>(params->params[0]));
            unit->PostConstructor();
            *out = unit;
            return OSStatus{0};
        });
    }
    auto* unit = static_cast<TarnwellAU*>(storage);
    if (params->what == kComponentCloseSelect) {
        if (unit == nullptr) return kAudio_ParamError;
        unit->PreDestructor();
        delete unit;
        return 0;
    }
    return AUPLUGIN::ComponentEntryDispatch(params, unit);
}
