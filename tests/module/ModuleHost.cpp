#include "tests/module/ModuleHost.h"

#include "platform/DynamicLibrary.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr char kTextFill = 'Q';
constexpr char kTextCanary = static_cast<char>(0xA5);
constexpr std::size_t kTextCanaryBytes = 16;

const char* g_hostVendor = "VORN tests";
std::string g_modulePath;

DynamicLibrary& Module()
{
    static DynamicLibrary library;
    return library;
}

// Loads the module on first use; null with a message when that fails.
PluginHost::EntryPoint FindModuleEntry(const char* name, std::string& error)
{
    DynamicLibrary& library = Module();
    if (!library.IsOpen()) {
        if (g_modulePath.empty()) {
            error = "no module path: pass the module file as the first argument";
            return nullptr;
        }
        if (!library.Open(g_modulePath)) {
            error = "cannot load " + g_modulePath + ": " + library.LastError();
            return nullptr;
        }
    }
    return PluginHost::FindEntry(library, name, error);
}

// Serialises loading the module: instances may be created from several
// threads at once.
std::mutex g_moduleMutex;

}  // namespace

void SetModulePath(const std::string& path)
{
    g_modulePath = path;
}

const std::string& ModulePath()
{
    return g_modulePath;
}

ScopedHostVendor::ScopedHostVendor(const char* vendor) : m_previous(g_hostVendor)
{
    g_hostVendor = vendor;
}

ScopedHostVendor::~ScopedHostVendor()
{
    g_hostVendor = m_previous;
}

PluginInstance::PluginInstance(const char* entryName)
{
    std::string error;
    EntryPoint entry = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_moduleMutex);
        entry = FindModuleEntry(entryName, error);
    }
    if (!entry) {
        std::fprintf(stderr, "module_tests: %s\n", error.c_str());
        return;
    }
    SetVendor(g_hostVendor);
    if (!Create(entry)) {
        std::fprintf(stderr, "module_tests: %s\n", LastError().c_str());
    }
}

TextReply PluginInstance::Text(VstInt32 opcode, VstInt32 index, std::size_t capacity, VstIntPtr value)
{
    std::vector<char> buffer(capacity + kTextCanaryBytes, kTextCanary);
    std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(capacity), kTextFill);
    TextReply reply;
    reply.result = Dispatch(opcode, index, value, buffer.data());
    const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(capacity);
    const auto terminator = std::find(buffer.begin(), end, '\0');
    reply.terminated = terminator != end;
    reply.text.assign(buffer.begin(), terminator);
    reply.overran = std::any_of(end, buffer.end(), [](char c) { return c != kTextCanary; });
    reply.untouched =
        !reply.overran && std::all_of(buffer.begin(), end, [](char c) { return c == kTextFill; });
    return reply;
}

VstIntPtr PluginInstance::SendMidi(const std::vector<Midi>& messages)
{
    // Storage is kept so that repeated sends of the same size do not allocate.
    m_events.resize(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        m_events[i].frame = messages[i].frame;
        m_events[i].bytes = {messages[i].status, messages[i].data1, messages[i].data2};
    }
    return SendMidi(std::span<const BlockMidiEvent>(m_events));
}
