// The 1C:Enterprise Native API as the platform sees an external component: written from 1C's published
// interface (types.h, ComponentBase.h, AddInDefBase.h, IMemoryManager.h of its component template), without
// any component's own declarations, so that a component laid out differently fails here as in the platform.
// Compiled by g++ on Linux (GCC's C++ layout) and by clang for the MSVC ABI on Windows (Microsoft's layout:
// one deleting-destructor slot per table, one table per base).
#ifndef DVK_TEST_NATIVE_API_H
#define DVK_TEST_NATIVE_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define ADDIN_API __stdcall
typedef wchar_t WCHAR_T;
#else
#define ADDIN_API
typedef uint16_t WCHAR_T;
#endif
static_assert(sizeof(WCHAR_T) == 2, "the platform's strings are UTF-16 everywhere");

typedef unsigned short TYPEVAR;
// clang-format off: the values in the order that numbers them
enum ENUMVAR {
    VTYPE_EMPTY,
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
    VTYPE_STR_BLOB = 0xfff,
    VTYPE_VECTOR = 0x1000,
    VTYPE_ARRAY = 0x2000,
    VTYPE_BYREF = 0x4000,
    VTYPE_RESERVED = 0x8000,
    VTYPE_ILLEGAL = 0xffff,
    VTYPE_ILLEGALMASKED = 0xfff,
    VTYPE_TYPEMASK = 0xfff
};
// clang-format on
static_assert(VTYPE_PWSTR == 22 && VTYPE_BLOB == 23);

// The C library's struct tm of each system, spelt out: the Windows host has no C headers.
struct TmValue {
    int tm_sec, tm_min, tm_hour, tm_mday, tm_mon, tm_year, tm_wday, tm_yday, tm_isdst;
#if !defined(_WIN32)
    long tm_gmtoff;
    const char* tm_zone;
#endif
};

struct Guid {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
};

struct IfaceValue {
    void* pInterfaceVal;
    Guid InterfaceID;
};
struct StrValue {
    char* pstrVal;
    uint32_t strLen; // bytes
};
struct WstrValue {
    WCHAR_T* pwstrVal;
    uint32_t wstrLen; // UTF-16 units
};

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
        wchar_t wchVal;
        double date;
        Guid IDVal;
        tVariant* pvarVal;
        TmValue tmVal;
        IfaceValue iface;
        StrValue str;
        WstrValue wstr;
    };
    uint32_t cbElements;
    TYPEVAR vt;
};

#if defined(_WIN32)
static_assert(sizeof(TmValue) == 36 && sizeof(tVariant) == 48, "Windows: struct tm of 9 ints");
static_assert(offsetof(tVariant, cbElements) == 40 && offsetof(tVariant, vt) == 44);
#elif defined(__x86_64__) || defined(__aarch64__)
static_assert(sizeof(TmValue) == 56 && sizeof(tVariant) == 64, "64-bit Linux: struct tm with its zone");
static_assert(offsetof(tVariant, cbElements) == 56 && offsetof(tVariant, vt) == 60);
#endif

class IInitDoneBase {
  public:
    virtual ~IInitDoneBase() {}
    virtual bool ADDIN_API Init(void* disp) = 0;
    virtual bool ADDIN_API setMemManager(void* mem) = 0;
    virtual long ADDIN_API GetInfo() = 0;
    virtual void ADDIN_API Done() = 0;
};

class ILanguageExtenderBase {
  public:
    virtual ~ILanguageExtenderBase() {}
    virtual bool ADDIN_API RegisterExtensionAs(WCHAR_T** wsExtensionName) = 0;
    virtual long ADDIN_API GetNProps() = 0;
    virtual long ADDIN_API FindProp(const WCHAR_T* wsPropName) = 0;
    virtual const WCHAR_T* ADDIN_API GetPropName(long lPropNum, long lPropAlias) = 0;
    virtual bool ADDIN_API GetPropVal(const long lPropNum, tVariant* pvarPropVal) = 0;
    virtual bool ADDIN_API SetPropVal(const long lPropNum, tVariant* varPropVal) = 0;
    virtual bool ADDIN_API IsPropReadable(const long lPropNum) = 0;
    virtual bool ADDIN_API IsPropWritable(const long lPropNum) = 0;
    virtual long ADDIN_API GetNMethods() = 0;
    virtual long ADDIN_API FindMethod(const WCHAR_T* wsMethodName) = 0;
    virtual const WCHAR_T* ADDIN_API GetMethodName(const long lMethodNum, const long lMethodAlias) = 0;
    virtual long ADDIN_API GetNParams(const long lMethodNum) = 0;
    virtual bool ADDIN_API GetParamDefValue(const long lMethodNum, const long lParamNum,
                                            tVariant* pvarParamDefValue) = 0;
    virtual bool ADDIN_API HasRetVal(const long lMethodNum) = 0;
    virtual bool ADDIN_API CallAsProc(const long lMethodNum, tVariant* paParams, const long lSizeArray) = 0;
    virtual bool ADDIN_API CallAsFunc(const long lMethodNum, tVariant* pvarRetValue, tVariant* paParams,
                                      const long lSizeArray) = 0;
};

class LocaleBase {
  public:
    virtual ~LocaleBase() {}
    virtual void ADDIN_API SetLocale(const WCHAR_T* loc) = 0;
};

class IComponentBase : public IInitDoneBase, public ILanguageExtenderBase, public LocaleBase {
  public:
    virtual ~IComponentBase() {}
};

// The connection object the platform hands to Init.
class IAddInDefBase {
  public:
    virtual ~IAddInDefBase() {}
    virtual bool ADDIN_API AddError(unsigned short wcode, const WCHAR_T* source, const WCHAR_T* descr,
                                    long scode) = 0;
    virtual bool ADDIN_API Read(WCHAR_T* wszPropName, tVariant* pVal, long* pErrCode,
                                WCHAR_T** errDescriptor) = 0;
    virtual bool ADDIN_API Write(WCHAR_T* wszPropName, tVariant* pVar) = 0;
    virtual bool ADDIN_API RegisterProfileAs(WCHAR_T* wszProfileName) = 0;
    virtual bool ADDIN_API SetEventBufferDepth(long lDepth) = 0;
    virtual long ADDIN_API GetEventBufferDepth() = 0;
    virtual bool ADDIN_API ExternalEvent(WCHAR_T* wszSource, WCHAR_T* wszMessage, WCHAR_T* wszData) = 0;
    virtual void ADDIN_API CleanEventBuffer() = 0;
    virtual bool ADDIN_API SetStatusLine(WCHAR_T* wszStatusLine) = 0;
    virtual void ADDIN_API ResetStatusLine() = 0;
};

class IMemoryManager {
  public:
    virtual ~IMemoryManager() {}
    virtual bool ADDIN_API AllocMemory(void** pMemory, unsigned long ulCountByte) = 0;
    virtual void ADDIN_API FreeMemory(void** pMemory) = 0;
};

enum AppCapabilities { eAppCapabilitiesInvalid = -1, eAppCapabilities1 = 1, eAppCapabilitiesLast = 1 };
enum AttachType { eCanAttachNotIsolated = 1, eCanAttachIsolated, eCanAttachAny };

// The exports, cdecl on every system.
typedef const WCHAR_T* (*GetClassNamesFn)();
typedef long (*GetClassObjectFn)(const WCHAR_T* wsName, IComponentBase** pIntf);
typedef long (*DestroyObjectFn)(IComponentBase** pIntf);
typedef AppCapabilities (*SetPlatformCapabilitiesFn)(const AppCapabilities capabilities);
typedef AttachType (*GetAttachTypeFn)();

#endif
