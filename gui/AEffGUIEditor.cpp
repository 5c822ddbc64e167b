#include "gui/AEffGUIEditor.h"

#include <atomic>
#include <chrono>

#include "framework/effectbase/AudioEffectX.h"
#include "gui/CFrame.h"

namespace {
std::atomic<uint32_t (*)()> tickSource{nullptr};
}

namespace tarnwell::gui {
void setTickSource(uint32_t (*source)()) {
    tickSource.store(source);
}
}  // namespace tarnwell::gui

uint32_t AEffGUIEditor::getTicks() {
    if (auto* source = tickSource.load()) return source();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

AEffGUIEditor::AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner) {
    if (owner) owner->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
    // A subclass deletes its frame in close; one still here was never closed.
    delete frame;
    // Also reached when a subclass's constructor throws: the effect must not keep, and later
    // delete again, an editor that is gone.
    if (effect && effect->getEditor() == this) effect->setEditor(nullptr);
}

bool AEffGUIEditor::getRect(ERect** out) {
    if (out) *out = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parent) {
    AEffEditor::open(parent);
    opened.store(true, std::memory_order_release);
    return true;
}

void AEffGUIEditor::close() {
    opened.store(false, std::memory_order_release);
    AEffEditor::close();
}

void AEffGUIEditor::idle() {
    if (frame) frame->doIdleStuff();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return frame && frame->onKeyDown(keyCode) > 0;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode&) {
    return false;
}

bool AEffGUIEditor::onWheel(float distance) {
    if (frame == nullptr) return false;
    CPoint where;
    frame->getCurrentLocation(where);
    return frame->onWheel(where, distance, frame->getCurrentMouseButtons());
}

bool AEffGUIEditor::setKnobMode(int mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::setParameter(int, float) {}

void AEffGUIEditor::draw(ERect*) {
    if (frame) frame->doIdleStuff();
}

int AEffGUIEditor::mouse(int, int) {
    return 0;
}

void AEffGUIEditor::doIdleStuff() {
    if (frame) frame->doIdleStuff();
}

int AEffGUIEditor::getKnobMode() const {
    return knobMode;
}

bool AEffGUIEditor::beginEdit(int index) {
    auto* fx = dynamic_cast<AudioEffectX*>(effect);
    return fx && fx->beginEdit(index);
}

bool AEffGUIEditor::endEdit(int index) {
    auto* fx = dynamic_cast<AudioEffectX*>(effect);
    return fx && fx->endEdit(index);
}
