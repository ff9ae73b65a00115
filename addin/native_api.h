// The platform's Native API for external components, as the add-in meets it: the five entry points, the value
// type tVariant, and the three interfaces the platform calls or hands over. The platform sees C++ classes
// with virtual functions; here their tables are C structs of function pointers, so that one source gives the
// layout of the platform's compiler on each system: Microsoft's on Windows (one deleting-destructor slot,
// __stdcall methods on x86 with `this` on the stack), GCC's on Linux (two destructor slots). MinGW's g++,
// left to lay out C++ classes itself, would produce GCC's layout on Windows too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#if defined(_WIN32)
#define DVKA_WINDOWS 1
#define ADDIN_API __stdcall
#define DVKA_EXPORT extern "C" __declspec(dllexport)
#else
#define DVKA_WINDOWS 0
#define ADDIN_API
#define DVKA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace dvka {

// The platform's character: 16-bit UTF-16 on every system, also where wchar_t is 32 bits.
using WCHAR_T = char16_t;

enum VariantType : uint16_t {
    VTYPE_EMPTY = 0,
    VTYPE_NULL,
    VTYPE_I2,
    VTYPE_I4,
    VTYPE_R4,
    VTYPE_R8,
    VTYPE_DATE,
    VTYPE_TM,
    VTYPE_PSTR,
    VTYPE_INTERFACE,
    VTYPE_ERROR,
    VTYPE_BOOL,
    VTYPE_VARIANT,
    VTYPE_I1,
    VTYPE_UI1,
    VTYPE_UI2,
    VTYPE_UI4,
    VTYPE_I8,
    VTYPE_UI8,
    VTYPE_INT,
    VTYPE_UINT,
    VTYPE_HRESULT,
    VTYPE_PWSTR,
    VTYPE_BLOB,
    VTYPE_CLSID,
};

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// The union's size follows the system's struct tm (36 bytes on Windows, 56 with glibc), as the platform's
// does.
struct tVariant {
    union {
        int8_t i8Val;
        int16_t shortVal;
        int32_t lVal;
        int intVal;
        unsigned int uintVal;
        int64_t llVal;
        uint8_t ui8Val;
        uint16_t ushortVal;
        uint32_t ulVal;
        uint64_t ullVal;
        int32_t errCode;
        long hRes;
        float fltVal;
        double dblVal;
        bool bVal;
        char chVal;
        WCHAR_T wchVal;
        double date;
        Guid IDVal;
        tVariant* pvarVal;
        struct tm tmVal;
        struct {
            void* pInterfaceVal;
            Guid InterfaceID;
        } iface;
        struct {
            char* pstrVal;
            uint32_t strLen; // bytes
        } str;
        struct {
            WCHAR_T* pwstrVal;
            uint32_t wstrLen; // characters
        } wstr;
    };
    uint32_t cbElements;
    uint16_t vt;
};

#if DVKA_WINDOWS
static_assert(sizeof(tVariant) == 48 && offsetof(tVariant, vt) == 44, "the platform's tVariant on Windows");
#elif defined(__x86_64__) && defined(__GLIBC__)
static_assert(sizeof(tVariant) == 64 && offsetof(tVariant, vt) == 60, "the platform's tVariant on Linux");
#endif

// A table's destructor slots, which the platform never calls through (it destroys the component with
// DestroyObject): one scalar deleting destructor with Microsoft's layout (__thiscall on x86), a
// complete-object and a deleting destructor with GCC's.
#if DVKA_WINDOWS
#if defined(__i386__)
// g++ warns that a free function is not a method, and gives it the method's convention all the same.
#pragma GCC diagnostic ignored "-Wattributes"
#define DVKA_THISCALL __attribute__((thiscall))
#else
#define DVKA_THISCALL
#endif
struct DestructorSlots {
    void*(DVKA_THISCALL* deleting)(void* self, unsigned flags);
};
#else
struct DestructorSlots {
    void (*complete)(void* self);
    void (*deleting)(void* self);
};
#endif

// What the component gives the platform: an object of three interfaces, each a table pointer, in this order.
struct InitDoneTable {
    DestructorSlots destructor;
    bool(ADDIN_API* Init)(void* self, void* connection);
    bool(ADDIN_API* setMemManager)(void* self, void* memory);
    long(ADDIN_API* GetInfo)(void* self);
    void(ADDIN_API* Done)(void* self);
};

struct LanguageExtenderTable {
    DestructorSlots destructor;
    bool(ADDIN_API* RegisterExtensionAs)(void* self, WCHAR_T** name);
    long(ADDIN_API* GetNProps)(void* self);
    long(ADDIN_API* FindProp)(void* self, const WCHAR_T* name);
    const WCHAR_T*(ADDIN_API* GetPropName)(void* self, long prop, long alias);
    bool(ADDIN_API* GetPropVal)(void* self, const long prop, tVariant* value);
    bool(ADDIN_API* SetPropVal)(void* self, const long prop, tVariant* value);
    bool(ADDIN_API* IsPropReadable)(void* self, const long prop);
    bool(ADDIN_API* IsPropWritable)(void* self, const long prop);
    long(ADDIN_API* GetNMethods)(void* self);
    long(ADDIN_API* FindMethod)(void* self, const WCHAR_T* name);
    const WCHAR_T*(ADDIN_API* GetMethodName)(void* self, const long method, const long alias);
    long(ADDIN_API* GetNParams)(void* self, const long method);
    bool(ADDIN_API* GetParamDefValue)(void* self, const long method, const long param, tVariant* value);
    bool(ADDIN_API* HasRetVal)(void* self, const long method);
    bool(ADDIN_API* CallAsProc)(void* self, const long method, tVariant* params, const long count);
    bool(ADDIN_API* CallAsFunc)(void* self, const long method, tVariant* result, tVariant* params,
                                const long count);
};

struct LocaleTable {
    DestructorSlots destructor;
    void(ADDIN_API* SetLocale)(void* self, const WCHAR_T* locale);
};

// What the platform hands over: its connection object and its memory manager.
struct ConnectionTable {
    DestructorSlots destructor;
    bool(ADDIN_API* AddError)(void* self, unsigned short code, const WCHAR_T* source, const WCHAR_T* text,
                              long scode);
    bool(ADDIN_API* Read)(void* self, WCHAR_T* name, tVariant* value, long* errorCode, WCHAR_T** errorText);
    bool(ADDIN_API* Write)(void* self, WCHAR_T* name, tVariant* value);
    bool(ADDIN_API* RegisterProfileAs)(void* self, WCHAR_T* name);
    bool(ADDIN_API* SetEventBufferDepth)(void* self, long depth);
    long(ADDIN_API* GetEventBufferDepth)(void* self);
    bool(ADDIN_API* ExternalEvent)(void* self, WCHAR_T* source, WCHAR_T* message, WCHAR_T* data);
    void(ADDIN_API* CleanEventBuffer)(void* self);
    bool(ADDIN_API* SetStatusLine)(void* self, WCHAR_T* text);
    void(ADDIN_API* ResetStatusLine)(void* self);
};

struct MemoryManagerTable {
    DestructorSlots destructor;
    bool(ADDIN_API* AllocMemory)(void* self, void** block, unsigned long bytes);
    void(ADDIN_API* FreeMemory)(void* self, void** block);
};

// Any object of the platform's, seen through its first table pointer.
template <typename Table> struct Interface { const Table* table; };

// The error codes of AddError.
inline constexpr unsigned short ADDIN_E_FAIL = 1006;

enum AppCapabilities { eAppCapabilitiesInvalid = -1, eAppCapabilities1 = 1, eAppCapabilitiesLast = 1 };
enum AttachType { eCanAttachNotIsolated = 1, eCanAttachIsolated, eCanAttachAny };

} // namespace dvka

// The entry points the platform looks up by name (C calling convention on every system).
DVKA_EXPORT const dvka::WCHAR_T* GetClassNames();
DVKA_EXPORT long GetClassObject(const dvka::WCHAR_T* name, void** object);
DVKA_EXPORT long DestroyObject(void** object);
DVKA_EXPORT dvka::AppCapabilities SetPlatformCapabilities(const dvka::AppCapabilities capabilities);
DVKA_EXPORT dvka::AttachType GetAttachType();
