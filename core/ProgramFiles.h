// Program (fxp) and bank (fxb) files: a big-endian header around either the
// plug-in's own chunk (written and read) or a list of normalized parameter
// values, one 32-bit big-endian float each (read only). Inside a chunk every
// value keeps the chunk's little-endian layout.
//
// Program file with chunk, 60-byte header: "CcnK", byteSize (whole file),
// "FPCh", version 1, fxID, fxVersion (decimal), numParams, prgName[28],
// chunkSize, then "tffp", 0x00010000 and the state written by WriteState.
// Bank file with chunk, 160-byte header: "CcnK", byteSize (whole file),
// "FBCh", version 2, fxID, fxVersion, numPrograms, currentProgram,
// future[124], chunkSize, then "tffp", 0x00010000 and the preset records.
// The parameter-list forms use "FxCk" (prgName, then the values from offset
// 56) and "FxBk" (the bank header up to offset 156, then one "FxCk" record
// per program).
//
// Everything here runs under the instance lock (taken again inside), on the
// editor's thread or at start-up. The memory forms are the cores of the file
// forms; they never read outside the data they are given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/IPluginBase.h"
#include "core/StateChunk.h"

inline constexpr int kProgramFileHeaderSize = 60;
inline constexpr int kBankFileHeaderSize = 160;
// Offset of the first program record of a parameter-list bank.
inline constexpr int kBankRecordsOffset = 156;
// The name field of a program header: 27 characters and a terminator are
// written; a reader takes up to 28 characters when no zero byte ends them.
inline constexpr int kProgramNameFieldSize = 28;

// Four-character code as it reads in a big-endian header field.
constexpr std::uint32_t FileMagic(const char (&code)[5])
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// Appends value as four big-endian bytes.
void PutBigEndian32(StateChunk& data, std::uint32_t value);
// Reads four big-endian bytes at position; false (value unchanged) when they
// are not all inside the data.
bool GetBigEndian32(const StateChunk& data, int position, std::uint32_t& value);

// ---- Memory forms -------------------------------------------------------------

// Replaces file with the program file with chunk for the current preset: the
// live state (WriteState), named after the current slot.
void BuildProgramFile(IPluginBase& plugin, StateChunk& file);
// Replaces file with the bank file with chunk: every slot as it is stored.
void BuildBankFile(IPluginBase& plugin, StateChunk& file);
// Applies a program file of either form to the live parameters, stores them
// in the current slot (renamed to the file's prgName unless that is empty)
// and reloads the slot. False, nothing changed, for a foreign file (magic,
// version or fxID), a file without program data, a value that is not finite
// or a state that cannot be read. A program cut inside its values (a
// parameter-list file with fewer values than it declares, a state cut after
// its header) applies what fits to the live parameters but leaves the slot
// alone, and returns false.
bool ApplyProgramFile(IPluginBase& plugin, const StateChunk& file);
// Applies a bank file of either form to the slots and selects the program
// the bank was saved on (its currentProgram). All or nothing: a foreign
// file, a program count of 0 or less, a file shorter than its programs need
// or any bad record returns false with every slot, the current program and
// the live state as they were. A parameter-list bank reads at most as many
// records as there are slots.
bool ApplyBankFile(IPluginBase& plugin, const StateChunk& file);

// ---- File forms (path in UTF-8) -------------------------------------------------
// False for a null or empty name or a file that cannot be opened; saving
// reports success once the file is open. A file larger than
// StateChunk::kMaxSize is not read.

bool SaveProgramFile(IPluginBase& plugin, const char* fileName);
bool SaveBankFile(IPluginBase& plugin, const char* fileName);
bool LoadProgramFile(IPluginBase& plugin, const char* fileName);
bool LoadBankFile(IPluginBase& plugin, const char* fileName);

// The whole file into data (replaced); false when it cannot be opened or
// read, or is larger than StateChunk::kMaxSize.
bool ReadWholeFile(const char* fileName, StateChunk& data);

// Applies a bank held in memory (the factory bank resource, a bank file with
// chunk) without checking its header fields: the chunk is taken from offset
// 160 (168 after a "tffp" marker) and read with UnserializePresets, then the
// host is asked to refresh its display. All or nothing: data shorter than
// the header or a record that cannot be read returns false and changes
// nothing.
bool LoadBankImage(IPluginBase& plugin, const std::uint8_t* bytes, std::size_t length);
