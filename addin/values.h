// Values between the platform and the add-in: UTF-16 texts and tVariant parameters in, results out through
// the platform's memory manager (the platform frees what it receives).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "native_api.h"

namespace dvka {

// UTF-16 to UTF-8 and back; an unpaired surrogate or a malformed byte becomes U+FFFD.
std::string utf8Of(std::u16string_view text);
std::u16string utf16Of(std::string_view text);
// A zero-terminated text of the platform's; empty for null.
std::u16string_view viewOf(const WCHAR_T* text);

// The platform's memory manager, as setMemManager handed it over; blocks for the platform come from it alone.
class PlatformMemory {
  public:
    void use(void* manager) { manager_ = static_cast<Interface<MemoryManagerTable>*>(manager); }
    bool ready() const { return manager_ != nullptr; }
    // A block of `bytes` from the platform; null when it has none (or no manager was given).
    void* allocate(size_t bytes) const;
    // A zero-terminated copy of `text` in a block of the platform's; null when none could be had.
    WCHAR_T* copy(std::u16string_view text) const;

  private:
    Interface<MemoryManagerTable>* manager_ = nullptr;
};

// A parameter as the component's methods take it; nullopt when its type is another.
std::optional<std::string> textOf(const tVariant& value);
std::optional<bool> flagOf(const tVariant& value);
std::optional<double> numberOf(const tVariant& value);
// A parameter the caller left out (the platform passes VTYPE_EMPTY where no default was given).
inline bool isEmpty(const tVariant& value) { return value.vt == VTYPE_EMPTY; }

// Results; false when the platform's memory could not be had.
void clear(tVariant& value);
bool setText(tVariant& value, std::string_view utf8, const PlatformMemory& memory);
bool setBinary(tVariant& value, std::string_view bytes, const PlatformMemory& memory);
void setFlag(tVariant& value, bool flag);
void setNumber(tVariant& value, int32_t number);

} // namespace dvka
