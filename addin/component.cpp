// The object the platform receives, laid out as its compiler lays out a class of three interfaces: a table
// pointer for each, in the order of inheritance, then the add-in's own state. Each entry gets `this` pointing
// at its own interface's table pointer; the object is found from there. No exception leaves an entry.
#include <cstddef>
#include <memory>
#include <new>

#include "scanner.h"

namespace dvka {

namespace {

struct Component {
    const InitDoneTable* initDone;
    const LanguageExtenderTable* languageExtender;
    const LocaleTable* locale;
    Scanner* scanner;
};

template <size_t Offset> Scanner& scannerOf(void* self) {
    return *reinterpret_cast<Component*>(static_cast<char*>(self) - Offset)->scanner;
}
Scanner& fromInitDone(void* self) { return scannerOf<offsetof(Component, initDone)>(self); }
Scanner& fromExtender(void* self) { return scannerOf<offsetof(Component, languageExtender)>(self); }
Scanner& fromLocale(void* self) { return scannerOf<offsetof(Component, locale)>(self); }

template <typename Result, typename Body> Result guarded(Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

// The destructor slots: the platform ends the object with DestroyObject, never through them.
#if DVKA_WINDOWS
void* DVKA_THISCALL deletingDestructor(void* self, unsigned /*flags*/) { return self; }
constexpr DestructorSlots kDestructor = {deletingDestructor};
#else
void destructor(void* /*self*/) {}
constexpr DestructorSlots kDestructor = {destructor, destructor};
#endif

// Returned names are the platform's to free.
const WCHAR_T* nameOf(Scanner& scanner, std::span<const MemberInfo> members, long index, long alias) {
    if (index < 0 || static_cast<size_t>(index) >= members.size()) return nullptr;
    const MemberInfo& member = members[static_cast<size_t>(index)];
    return scanner.memory().copy(alias == 1 ? member.russian : member.english);
}

bool validIndex(std::span<const MemberInfo> members, long index) {
    return index >= 0 && static_cast<size_t>(index) < members.size();
}

// The entries, named: x86's __stdcall does not carry over to a lambda's function pointer.
bool ADDIN_API init(void* self, void* connection) {
    return guarded(false, [&] { return fromInitDone(self).init(connection); });
}
bool ADDIN_API setMemManager(void* self, void* memory) {
    fromInitDone(self).setMemory(memory);
    return memory != nullptr;
}
long ADDIN_API getInfo(void* /*self*/) { return 2000; }
void ADDIN_API done(void* self) {
    guarded(0, [&] { return fromInitDone(self).done(), 0; });
}

bool ADDIN_API registerExtensionAs(void* self, WCHAR_T** name) {
    if (name == nullptr) return false;
    *name = fromExtender(self).memory().copy(kEventSource);
    return *name != nullptr;
}
long ADDIN_API getNProps(void* /*self*/) { return static_cast<long>(properties().size()); }
long ADDIN_API findProp(void* /*self*/, const WCHAR_T* name) {
    return findMember(properties(), viewOf(name));
}
const WCHAR_T* ADDIN_API getPropName(void* self, long prop, long alias) {
    return guarded<const WCHAR_T*>(nullptr,
                                   [&] { return nameOf(fromExtender(self), properties(), prop, alias); });
}
bool ADDIN_API getPropVal(void* self, const long prop, tVariant* value) {
    return value != nullptr && guarded(false, [&] { return fromExtender(self).property(prop, *value); });
}
bool ADDIN_API setPropVal(void* /*self*/, const long /*prop*/, tVariant* /*value*/) { return false; }
bool ADDIN_API isPropReadable(void* /*self*/, const long prop) { return validIndex(properties(), prop); }
bool ADDIN_API isPropWritable(void* /*self*/, const long /*prop*/) { return false; }
long ADDIN_API getNMethods(void* /*self*/) { return static_cast<long>(methods().size()); }
long ADDIN_API findMethod(void* /*self*/, const WCHAR_T* name) { return findMember(methods(), viewOf(name)); }
const WCHAR_T* ADDIN_API getMethodName(void* self, const long method, const long alias) {
    return guarded<const WCHAR_T*>(nullptr,
                                   [&] { return nameOf(fromExtender(self), methods(), method, alias); });
}
long ADDIN_API getNParams(void* /*self*/, const long method) {
    return validIndex(methods(), method)
               ? static_cast<long>(methods()[static_cast<size_t>(method)].params.size())
               : 0L;
}
bool ADDIN_API getParamDefValue(void* self, const long method, const long param, tVariant* value) {
    return value != nullptr &&
           guarded(false, [&] { return fromExtender(self).defaultOf(method, param, *value); });
}
bool ADDIN_API hasRetVal(void* /*self*/, const long method) {
    return validIndex(methods(), method) && methods()[static_cast<size_t>(method)].returns;
}
bool ADDIN_API callAsProc(void* self, const long method, tVariant* params, const long count) {
    return guarded(false, [&] { return fromExtender(self).call(method, nullptr, params, count); });
}
bool ADDIN_API callAsFunc(void* self, const long method, tVariant* result, tVariant* params,
                          const long count) {
    return result != nullptr &&
           guarded(false, [&] { return fromExtender(self).call(method, result, params, count); });
}

void ADDIN_API setLocale(void* self, const WCHAR_T* locale) {
    guarded(0, [&] { return fromLocale(self).setLocale(viewOf(locale)), 0; });
}

const InitDoneTable kInitDone = {kDestructor, init, setMemManager, getInfo, done};
const LanguageExtenderTable kLanguageExtender = {
    kDestructor, registerExtensionAs, getNProps,      findProp,    getPropName, getPropVal,
    setPropVal,  isPropReadable,      isPropWritable, getNMethods, findMethod,  getMethodName,
    getNParams,  getParamDefValue,    hasRetVal,      callAsProc,  callAsFunc};
const LocaleTable kLocale = {kDestructor, setLocale};

bool isScanner(const WCHAR_T* name) { return viewOf(name) == u"Scanner"; }

} // namespace

} // namespace dvka

using namespace dvka;

DVKA_EXPORT const WCHAR_T* GetClassNames() { return u"Scanner"; }

DVKA_EXPORT long GetClassObject(const WCHAR_T* name, void** object) {
    if (object == nullptr || !isScanner(name)) return 0;
    return guarded(0L, [&] {
        auto scanner = std::make_unique<Scanner>();
        *object = new Component{&kInitDone, &kLanguageExtender, &kLocale, scanner.get()};
        scanner.release();
        return 1L;
    });
}

DVKA_EXPORT long DestroyObject(void** object) {
    if (object == nullptr || *object == nullptr) return -1;
    auto* component = static_cast<Component*>(*object);
    *object = nullptr;
    return guarded(-1L, [&] {
        delete component->scanner; // stops and joins its reader first
        delete component;
        return 0L;
    });
}

DVKA_EXPORT AppCapabilities SetPlatformCapabilities(const AppCapabilities /*capabilities*/) {
    return eAppCapabilitiesLast;
}

// In the platform's process or a host process of its own: the add-in keeps nothing of the platform's.
DVKA_EXPORT AttachType GetAttachType() { return eCanAttachAny; }
