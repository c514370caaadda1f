#include "synth/Synth.h"

#include <cstdio>

#include "platform/File.h"
#include "platform/Folders.h"

namespace {

// The configuration file's path, or "" when the application-data folder is
// unknown or the path would be too long. Creates the folder when missing;
// a failure there shows later as reads of defaults and failed writes.
std::string FindConfigurationFile()
{
    const std::string appData = LocalAppDataFolder();
    if (appData.empty()) {
        return {};
    }
    const std::string folder = JoinPath(appData, kConfigurationFolderName);
    const std::string path = JoinPath(folder, kConfigurationFileName);
    if (path.size() > static_cast<std::size_t>(kMaxConfigurationPathLength)) {
        return {};
    }
    if (!FolderExists(folder)) {
        CreateFolder(folder);
    }
    return path;
}

}  // namespace

Synth::Synth(audioMasterCallback hostCallback, const PluginInfo& info) : IPluginVST(hostCallback, info)
{
    // The display formatters are locale-independent, so the process locale
    // is left as the host set it.
    m_configuration.iniPath = FindConfigurationFile();
    m_configuration.documentsFolder = DocumentsFolder();
    m_configuration.programFilesFolder = m_configuration.documentsFolder;
    const std::string& iniPath = m_configuration.iniPath;
    if (iniPath.empty()) {
        return;
    }
    if (!FileExists(iniPath)) {
        std::FILE* file = OpenFile(iniPath.c_str(), "wb");
        if (file == nullptr) {
            return;
        }
        std::fclose(file);
    }
    ReadConfiguration();
}

void Synth::OnReset()
{
    EndMidiLearn();
    if (m_learnSwitch != nullptr) {
        m_learnSwitch->ShowLearnOff();
    }
}

void Synth::OnActivation(bool active)
{
    if (!active) {
        return;
    }
    ApplyAllParameters();
}

void Synth::OnParameterChanged(int index)
{
    // Only a single parameter change is learned: loads, recipes and the
    // announcements of every parameter run as bulk updates.
    if (MidiLearnActive() && !InBulkUpdate() && index >= 0 && index <= kMaxMappedParameter) {
        m_learnedParameter.store(index, std::memory_order_relaxed);
        CommitMidiLearn();
    }
    IPluginVST::OnParameterChanged(index);
}

// ---- Program commands ------------------------------------------------------------

void Synth::SelectProgram(int index)
{
    InstanceLock lock(InstanceMutex());
    ModifyCurrentPreset();
    LoadPreset(index);
    NotifyHostOfProgramChange();
    NotifyHostAllParameters();
}

// ---- MIDI learn ------------------------------------------------------------------

void Synth::EndMidiLearn()
{
    m_learnActive.store(false, std::memory_order_relaxed);
    m_learnedController.store(MidiControllerMap::kUnassigned, std::memory_order_relaxed);
    m_learnedParameter.store(MidiControllerMap::kUnassigned, std::memory_order_relaxed);
}

void Synth::SetMidiLearn(bool active, bool unlearnMode)
{
    InstanceLock lock(InstanceMutex());
    m_learnedController.store(MidiControllerMap::kUnassigned, std::memory_order_relaxed);
    m_learnedParameter.store(MidiControllerMap::kUnassigned, std::memory_order_relaxed);
    m_unlearnMode.store(unlearnMode, std::memory_order_relaxed);
    m_learnActive.store(active, std::memory_order_relaxed);
}

void Synth::AttachMidiLearnSwitch(MidiLearnSwitch* learnSwitch)
{
    InstanceLock lock(InstanceMutex());
    EndMidiLearn();
    m_unlearnMode.store(false, std::memory_order_relaxed);
    m_learnSwitch = learnSwitch;
}

void Synth::CaptureLearnedController(int controller)
{
    if (controller < 0 || controller >= MidiControllerMap::kMappableControllers) {
        return;
    }
    InstanceLock lock(InstanceMutex());
    m_learnedController.store(controller, std::memory_order_relaxed);
    CommitMidiLearn();
}

void Synth::CommitMidiLearn()
{
    InstanceLock lock(InstanceMutex());
    if (MidiLearnActive()) {
        const int controller = LearnedController();
        const int parameter = LearnedParameter();
        const bool haveController = controller != MidiControllerMap::kUnassigned;
        const bool haveParameter = parameter != MidiControllerMap::kUnassigned;
        if (!MidiUnlearnMode()) {
            if (haveController && haveParameter) {
                // At most one controller per learned parameter.
                m_controllerMap.Unassign(parameter);
                m_controllerMap.Assign(controller, parameter);
                m_learnActive.store(false, std::memory_order_relaxed);
            }
        } else if (haveController) {
            m_controllerMap.Assign(controller, MidiControllerMap::kUnassigned);
            m_learnActive.store(false, std::memory_order_relaxed);
        } else if (haveParameter) {
            m_controllerMap.Unassign(parameter);
            m_learnActive.store(false, std::memory_order_relaxed);
        }
    }
    if (m_learnSwitch != nullptr && !MidiLearnActive()) {
        m_learnSwitch->ShowLearnOff();
    }
}
