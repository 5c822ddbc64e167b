// Requests from the extended effect to its host. Without a host callback nothing is sent and
// each answer is 0, false or null, unless noted.

#include "framework/effectbase/AudioEffectX.h"

using namespace HostRequest;

bool AudioEffectX::beginEdit(int index) {
    return callHost(BeginEdit, index) != 0;
}
bool AudioEffectX::endEdit(int index) {
    return callHost(EndEdit, index) != 0;
}
bool AudioEffectX::ioChanged() {
    return callHost(IoChanged) != 0;
}

// Without a host (or with a host that does not know) the stored rate stands.
double AudioEffectX::updateSampleRate() {
    const intptr_t answer = callHost(GetSampleRate);
    if (answer > 0) sampleRate = static_cast<float>(answer);
    return static_cast<double>(sampleRate);
}

int AudioEffectX::updateBlockSize() {
    const int32_t answer = static_cast<int32_t>(callHost(GetBlockSize));
    if (answer > 0) blockSize = answer;
    return blockSize;
}

int AudioEffectX::getInputLatency() {
    return static_cast<int>(callHost(GetInputLatency));
}
int AudioEffectX::getOutputLatency() {
    return static_cast<int>(callHost(GetOutputLatency));
}

VstTimeInfo* AudioEffectX::getTimeInfo(int filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(GetTime, 0, filter));
}

int AudioEffectX::getCurrentProcessLevel() {
    return static_cast<int>(callHost(GetCurrentProcessLevel));
}
int AudioEffectX::getAutomationState() {
    return static_cast<int>(callHost(GetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(GetVendorString, 0, 0, text) != 0;
}
bool AudioEffectX::getHostProductString(char* text) {
    return callHost(GetProductString, 0, 0, text) != 0;
}
int AudioEffectX::getHostVendorVersion() {
    return static_cast<int>(callHost(GetVendorVersion));
}

long long AudioEffectX::hostVendorSpecific(int arg1, long long arg2, void* ptr, float opt) {
    return callHost(VendorSpecific, arg1, static_cast<intptr_t>(arg2), ptr, opt);
}

int AudioEffectX::canHostDo(char* text) {
    return callHost(CanDo, 0, 0, text) != 0 ? 1 : 0;
}
int AudioEffectX::getHostLanguage() {
    return static_cast<int>(callHost(GetLanguage));
}
void* AudioEffectX::getDirectory() {
    return reinterpret_cast<void*>(callHost(GetDirectory));
}

bool AudioEffectX::updateDisplay() {
    return callHost(UpdateDisplay) != 0;
}
bool AudioEffectX::sizeWindow(int width, int height) {
    return callHost(SizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select) {
    return select && callHost(OpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select) {
    return select && callHost(CloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource) {
    return callHost(OfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
    return callHost(OfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, int numAudioFiles, int numNewAudioFiles) {
    return callHost(OfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

bool AudioEffectX::offlineGetCurrentPass() {
    return callHost(OfflineGetCurrentPass) != 0;
}
bool AudioEffectX::offlineGetCurrentMetaPass() {
    return callHost(OfflineGetCurrentMetaPass) != 0;
}

void AudioEffectX::__wantEventsDeprecated(int filter) {
    callHost(WantEvents, 0, filter);
}
int AudioEffectX::__tempoAtDeprecated(int pos) {
    return static_cast<int>(callHost(TempoAt, 0, pos));
}

int AudioEffectX::__getNumAutomatableParametersDeprecated() {
    return static_cast<int>(callHost(GetNumAutomatableParameters));
}

int AudioEffectX::__getParameterQuantizationDeprecated() {
    return static_cast<int>(callHost(GetParameterQuantization));
}

bool AudioEffectX::__needIdleDeprecated() {
    return callHost(NeedIdle) != 0;
}

// The pin number is not part of these requests.
AEffect* AudioEffectX::__getPreviousPlugDeprecated(int) {
    return reinterpret_cast<AEffect*>(callHost(GetPreviousPlug));
}

AEffect* AudioEffectX::__getNextPlugDeprecated(int) {
    return reinterpret_cast<AEffect*>(callHost(GetNextPlug));
}

int AudioEffectX::__willProcessReplacingDeprecated() {
    return static_cast<int>(callHost(WillReplaceOrAccumulate));
}

void AudioEffectX::__setOutputSamplerateDeprecated(float rate) {
    callHost(SetOutputSampleRate, 0, 0, nullptr, rate);
}

VstSpeakerArrangement* AudioEffectX::__getInputSpeakerArrangementDeprecated() {
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(GetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::__getOutputSpeakerArrangementDeprecated() {
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(GetOutputSpeakerArrangement));
}

void* AudioEffectX::__openWindowDeprecated(__VstWindowDeprecated* window) {
    return reinterpret_cast<void*>(callHost(OpenWindow, 0, 0, window));
}

bool AudioEffectX::__closeWindowDeprecated(__VstWindowDeprecated* window) {
    return callHost(CloseWindow, 0, 0, window) != 0;
}

bool AudioEffectX::__getChunkFileDeprecated(void* nativePath) {
    return nativePath && callHost(GetChunkFile, 0, 0, nativePath) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(HostRequest::ProcessEvents, 0, 0, events) == 1;
}
