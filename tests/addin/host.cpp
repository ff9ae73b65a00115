// A stand-in for the 1C:Enterprise platform that loads the add-in as the platform does and checks what
// crosses the interface on every call: a failure reported (false, GetLastError's text, AddError), a success
// leaving no error, every value handed over in a block of the platform's memory manager, events kept in a
// buffer of the depth the component asks for. driver.py holds the cases and plays the scanner; it sends one
// command a line, fields separated by tabs, texts escaped as \\ \t \n \r:
//   load COMPONENT LIBRARY | call|proc METHOD ARG... | prop NAME | members | find NAME | locale NAME
//   lib decode PROFILE TEXT | lib svg KIND DATA GS1 SCALE QUIET | lib key CHAR | lib version
//   wait MESSAGE COUNT TIMEOUT_MS | quit
// An argument is s:TEXT, n:INT, d:DECIMAL, b:0|1 or u: (undefined). Every answer ends in a line starting
// "ok", "fail", "waited" or "bye"; "FAIL ..." lines before it are faults the host saw.
#include "native_api.h"
#include "os.h"

// Placement without <new>, which the Windows host lacks.
struct Place {};
inline void* operator new(size_t, void* p, Place) noexcept { return p; }
inline void operator delete(void*, void*, Place) noexcept {}

namespace {

size_t length(const char* s) {
    size_t n = 0;
    while (s[n] != '\0')
        ++n;
    return n;
}

bool same(const char* a, size_t an, const char* b, size_t bn) {
    return an == bn && (an == 0 || __builtin_memcmp(a, b, an) == 0);
}

// A growing byte string, always NUL-terminated.
class Text {
  public:
    Text() = default;
    Text(const char* s) { add(s, length(s)); }
    Text(const Text& other) { add(other.data(), other.size()); }
    Text& operator=(const Text& other) {
        if (this != &other) {
            n_ = 0;
            add(other.data(), other.size());
        }
        return *this;
    }
    ~Text() { os::release(p_); }

    const char* data() const { return p_ != nullptr ? p_ : ""; }
    size_t size() const { return n_; }
    void clear() { n_ = 0; }
    void add(const char* s, size_t n) {
        if (n == 0 || n > (~size_t{0} >> 2)) return; // the bound also keeps GCC's overflow analysis quiet
        if (n_ + n + 1 > room_) {
            size_t room = room_ < 32 ? 32 : room_;
            while (room < n_ + n + 1)
                room *= 2;
            char* p = static_cast<char*>(os::alloc(room));
            if (n_ > 0) __builtin_memcpy(p, p_, n_);
            os::release(p_);
            p_ = p;
            room_ = room;
        }
        __builtin_memcpy(p_ + n_, s, n);
        n_ += n;
        p_[n_] = '\0';
    }
    Text& operator<<(const char* s) {
        add(s, length(s));
        return *this;
    }
    Text& operator<<(const Text& t) {
        add(t.data(), t.size());
        return *this;
    }
    Text& operator<<(long long v) {
        // 32-bit division only: the x86 host has no run-time helpers for 64-bit division.
        char digits[16];
        int n = 0;
        const bool negative = v < 0;
        uint32_t u = static_cast<uint32_t>(negative ? -v : v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10u);
            u /= 10u;
        } while (u != 0 && n < 15);
        if (negative) add("-", 1);
        while (n > 0)
            add(&digits[--n], 1);
        return *this;
    }
    Text& operator<<(long v) { return *this << static_cast<long long>(v); }
    Text& operator<<(int v) { return *this << static_cast<long long>(v); }
    Text& operator<<(size_t v) { return *this << static_cast<long long>(v); }
    bool operator==(const char* s) const { return same(data(), n_, s, length(s)); }
    bool operator==(const Text& t) const { return same(data(), n_, t.data(), t.size()); }
    bool starts(const char* s) const {
        return n_ >= length(s) && __builtin_memcmp(data(), s, length(s)) == 0;
    }
    bool contains(const char* s) const {
        const size_t m = length(s);
        for (size_t i = 0; i + m <= n_; ++i)
            if (__builtin_memcmp(p_ + i, s, m) == 0) return true;
        return false;
    }

  private:
    char* p_ = nullptr;
    size_t n_ = 0, room_ = 0;
};

void put(const Text& t) { os::write_out(t.data(), t.size()); }

// Protocol fields: one line each, whatever the text holds.
Text escaped(const char* s, size_t n) {
    Text out;
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (c == '\\')
            out << "\\\\";
        else if (c == '\n')
            out << "\\n";
        else if (c == '\r')
            out << "\\r";
        else if (c == '\t')
            out << "\\t";
        else
            out.add(&c, 1);
    }
    return out;
}

Text unescaped(const char* s, size_t n) {
    Text out;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < n) {
            c = s[++i];
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
        out.add(&c, 1);
    }
    return out;
}

int failures = 0;

void fault(const char* what, const Text& detail) {
    ++failures;
    Text line;
    line << "FAIL " << what << ": " << escaped(detail.data(), detail.size()) << "\n";
    put(line);
}

void expect(bool ok, const char* what, const Text& detail = Text()) {
    if (!ok) fault(what, detail);
}

// ---- UTF-16, the platform's strings ----

class Wide {
  public:
    explicit Wide(const char* s, size_t n) {
        p_ = static_cast<WCHAR_T*>(os::alloc((n + 1) * sizeof(WCHAR_T)));
        for (size_t i = 0; i < n;) {
            const auto b = static_cast<unsigned char>(s[i]);
            uint32_t c = b;
            size_t extra = b >= 0xf0 ? 3 : b >= 0xe0 ? 2 : b >= 0xc0 ? 1 : 0;
            if (extra > 0) c = b & (0x3fu >> extra);
            ++i;
            for (; extra > 0 && i < n; --extra, ++i)
                c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3fu);
            if (c >= 0x10000) {
                p_[n_++] = static_cast<WCHAR_T>(0xd800 + ((c - 0x10000) >> 10));
                c = 0xdc00 + ((c - 0x10000) & 0x3ff);
            }
            p_[n_++] = static_cast<WCHAR_T>(c);
        }
        p_[n_] = 0;
    }
    explicit Wide(const char* s) : Wide(s, length(s)) {}
    explicit Wide(const Text& t) : Wide(t.data(), t.size()) {}
    Wide(const Wide&) = delete;
    Wide& operator=(const Wide&) = delete;
    ~Wide() { os::release(p_); }
    WCHAR_T* data() { return p_; }
    uint32_t size() const { return static_cast<uint32_t>(n_); }

  private:
    WCHAR_T* p_ = nullptr;
    size_t n_ = 0;
};

size_t wide_length(const WCHAR_T* w) {
    size_t n = 0;
    while (w[n] != 0)
        ++n;
    return n;
}

Text narrow(const WCHAR_T* w, size_t n) {
    Text out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = static_cast<uint16_t>(w[i]);
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < n) c = 0x10000 + ((c - 0xd800) << 10) + (w[++i] - 0xdc00u);
        char b[4];
        size_t k = 0;
        if (c < 0x80)
            b[k++] = static_cast<char>(c);
        else if (c < 0x800)
            b[k++] = static_cast<char>(0xc0 | (c >> 6));
        else if (c < 0x10000)
            b[k++] = static_cast<char>(0xe0 | (c >> 12));
        else
            b[k++] = static_cast<char>(0xf0 | (c >> 18));
        for (int shift = c < 0x80 ? -6 : c < 0x800 ? 0 : c < 0x10000 ? 6 : 12; shift >= 0; shift -= 6)
            b[k++] = static_cast<char>(0x80 | ((c >> shift) & 0x3f));
        out.add(b, k);
    }
    return out;
}

Text narrow(const WCHAR_T* w) { return w != nullptr ? narrow(w, wide_length(w)) : Text(); }

// ---- the platform's side of the interface ----

// Counts what the component allocates, and checks that every block it frees, and every block it hands over,
// is one this manager gave out and has not taken back.
class Memory final : public IMemoryManager {
  public:
    struct Block {
        void* p;
        size_t size;
        bool live;
    };
    explicit Memory(uintptr_t main) : main_(main), guard_(os::lock_new()) {}
    ~Memory() {
        os::release(blocks_);
        os::release(guard_);
    }

    bool ADDIN_API AllocMemory(void** pMemory, unsigned long ulCountByte) override {
        if (os::thread_id() != main_) ++wrong_thread;
        if (pMemory == nullptr) return false;
        os::lock(guard_);
        if (count_ == room_) {
            room_ = room_ == 0 ? 256 : room_ * 2;
            auto* blocks = static_cast<Block*>(os::alloc(room_ * sizeof(Block)));
            if (count_ > 0) __builtin_memcpy(blocks, blocks_, count_ * sizeof(Block));
            os::release(blocks_);
            blocks_ = blocks;
        }
        *pMemory = os::alloc(ulCountByte);
        blocks_[count_++] = Block{*pMemory, ulCountByte, true};
        ++allocations;
        os::unlock(guard_);
        return true;
    }

    void ADDIN_API FreeMemory(void** pMemory) override {
        if (os::thread_id() != main_) ++wrong_thread;
        if (pMemory == nullptr || *pMemory == nullptr) return;
        ++component_frees;
        take(*pMemory);
        *pMemory = nullptr;
    }

    // A live block of this manager holding at least `size` bytes.
    bool holds(const void* p, size_t size) {
        os::lock(guard_);
        const Block* b = find(p);
        const bool held = b != nullptr && b->live && b->size >= size;
        os::unlock(guard_);
        return held;
    }

    // What the platform does with a value it received.
    void platform_free(void* p) {
        if (p == nullptr) return;
        ++host_frees;
        take(p);
    }

    size_t live() {
        os::lock(guard_);
        size_t n = 0;
        for (size_t i = 0; i < count_; ++i)
            n += blocks_[i].live ? 1 : 0;
        os::unlock(guard_);
        return n;
    }

    size_t allocations = 0, host_frees = 0, component_frees = 0, bad_frees = 0, double_frees = 0;
    size_t wrong_thread = 0;

  private:
    Block* find(const void* p) {
        for (size_t i = count_; i > 0; --i)
            if (blocks_[i - 1].p == p) return &blocks_[i - 1];
        return nullptr;
    }
    void take(void* p) {
        os::lock(guard_);
        Block* b = find(p);
        if (b == nullptr)
            ++bad_frees;
        else if (!b->live)
            ++double_frees;
        else {
            b->live = false;
            os::release(p);
        }
        os::unlock(guard_);
    }

    uintptr_t main_;
    os::Lock* guard_;
    Block* blocks_ = nullptr;
    size_t count_ = 0, room_ = 0;
};

struct Event {
    Text source, message, data;
    bool lost;
    Event* next;
};

// The connection object: AddError recorded, external events kept in a buffer of the depth the component
// sets (1 until it does, as in the platform) and handed on only when the host is idle (`wait`), as the
// platform delivers them while no code of the configuration runs. An event beyond the depth is lost.
class Connection final : public IAddInDefBase {
  public:
    explicit Connection(uintptr_t main) : main_(main), guard_(os::lock_new()) {}
    ~Connection() { os::release(guard_); }

    bool ADDIN_API AddError(unsigned short, const WCHAR_T* source, const WCHAR_T* descr, long) override {
        platform_thread();
        ++errors;
        last_source = narrow(source);
        last_error = narrow(descr);
        return true;
    }
    bool ADDIN_API Read(WCHAR_T*, tVariant*, long*, WCHAR_T**) override { return platform_thread(), false; }
    bool ADDIN_API Write(WCHAR_T*, tVariant*) override { return platform_thread(), false; }
    bool ADDIN_API RegisterProfileAs(WCHAR_T*) override { return platform_thread(), false; }
    bool ADDIN_API SetEventBufferDepth(long lDepth) override {
        platform_thread();
        if (lDepth < 1) return false;
        os::lock(guard_);
        depth_ = lDepth;
        os::unlock(guard_);
        return true;
    }
    long ADDIN_API GetEventBufferDepth() override {
        platform_thread();
        os::lock(guard_);
        const long depth = depth_;
        os::unlock(guard_);
        return depth;
    }
    bool ADDIN_API ExternalEvent(WCHAR_T* wszSource, WCHAR_T* wszMessage, WCHAR_T* wszData) override {
        auto* e = static_cast<Event*>(os::alloc(sizeof(Event)));
        new (e, Place{}) Event{narrow(wszSource), narrow(wszMessage), narrow(wszData), false, nullptr};
        os::lock(guard_);
        if (closed_) ++after_done;
        e->lost = waiting_ >= depth_;
        waiting_ += e->lost ? 0 : 1;
        *tail_ = e;
        tail_ = &e->next;
        os::unlock(guard_);
        return !e->lost;
    }
    void ADDIN_API CleanEventBuffer() override {
        platform_thread();
        os::lock(guard_);
        for (Event* e = head_; e != nullptr; e = e->next)
            e->lost = true;
        waiting_ = 0;
        os::unlock(guard_);
    }
    bool ADDIN_API SetStatusLine(WCHAR_T*) override { return platform_thread(), true; }
    void ADDIN_API ResetStatusLine() override { platform_thread(); }

    // Events of this message that came (kept or lost) since the last delivery.
    size_t arrived(const Text& message) {
        size_t n = 0;
        os::lock(guard_);
        for (Event* e = head_; e != nullptr; e = e->next)
            n += e->message == message ? 1 : 0;
        os::unlock(guard_);
        return n;
    }

    // Takes every event out of the buffer; the caller deletes the list.
    Event* deliver() {
        os::lock(guard_);
        Event* all = head_;
        head_ = nullptr;
        tail_ = &head_;
        waiting_ = 0;
        os::unlock(guard_);
        return all;
    }

    // After Done nothing may reach the platform.
    void close() {
        os::lock(guard_);
        closed_ = true;
        os::unlock(guard_);
    }

    size_t errors = 0, wrong_thread = 0, after_done = 0;
    Text last_source, last_error;

  private:
    void platform_thread() {
        if (os::thread_id() != main_) ++wrong_thread;
        if (closed_) ++after_done;
    }

    uintptr_t main_;
    os::Lock* guard_;
    long depth_ = 1, waiting_ = 0;
    bool closed_ = false;
    Event* head_ = nullptr;
    Event** tail_ = &head_;
};

void delete_events(Event* e) {
    while (e != nullptr) {
        Event* next = e->next;
        e->~Event();
        os::release(e);
        e = next;
    }
}

// ---- the component and the library it is compared with ----

typedef char* (*DecodeFrameFn)(const char* profile, const char* text, int32_t len, const char* device);
typedef char* (*KeyForCharFn)(char c);
typedef char* (*BarcodeSvgFn)(const char* kind, const char* data, int32_t len, int32_t gs1, int32_t scale,
                              int32_t quiet);
typedef const char* (*VersionFn)();
typedef void (*FreeFn)(void* p);

struct Library {
    DecodeFrameFn decode_frame;
    KeyForCharFn key_for_char;
    BarcodeSvgFn barcode_svg;
    VersionFn version;
    FreeFn free;
    Text take(char* p) {
        Text t(p != nullptr ? p : "<null>");
        free(p);
        return t;
    }
};

struct Host {
    Memory* memory;
    Connection* connection;
    Library lib;
    GetClassNamesFn get_class_names;
    GetClassObjectFn get_class_object;
    DestroyObjectFn destroy_object;
    SetPlatformCapabilitiesFn set_platform_capabilities;
    GetAttachTypeFn get_attach_type;
    IComponentBase* object;
};

Host host;

ILanguageExtenderBase* ext() { return host.object; }

// An argument of a call as the platform passes it: strings in the platform's own memory, not the manager's.
struct Arg {
    char kind = 'u';
    Text text;
};

// A value the component handed over, as text ("s TEXT", "b true", "n 4", "blob N HEX8", "empty", "vt N"),
// checked to be in blocks of the memory manager, which the platform then frees.
Text take_value(tVariant& v, const char* what) {
    Text out;
    switch (v.vt) {
    case VTYPE_EMPTY: out << "empty"; break;
    case VTYPE_BOOL: out << (v.bVal ? "b true" : "b false"); break;
    case VTYPE_I2: out << "n " << static_cast<int>(v.shortVal); break;
    case VTYPE_I4: out << "n " << static_cast<long long>(v.lVal); break;
    case VTYPE_R8: {
        const double d = v.dblVal;
        const auto whole = static_cast<int32_t>(d);
        if (static_cast<double>(whole) == d)
            out << "n " << static_cast<long long>(whole);
        else
            out << "r8";
        break;
    }
    case VTYPE_PWSTR:
        if (v.wstr.pwstrVal != nullptr) {
            expect(host.memory->holds(v.wstr.pwstrVal, v.wstr.wstrLen * sizeof(WCHAR_T)),
                   "a string handed over is not a block of the memory manager (or shorter than wstrLen)",
                   what);
            out << "s " << narrow(v.wstr.pwstrVal, v.wstr.wstrLen);
            host.memory->platform_free(v.wstr.pwstrVal);
        } else {
            expect(v.wstr.wstrLen == 0, "a null string with a length", what);
            out << "s ";
        }
        break;
    case VTYPE_PSTR:
    case VTYPE_BLOB: {
        const bool blob = v.vt == VTYPE_BLOB;
        expect(v.str.pstrVal == nullptr || host.memory->holds(v.str.pstrVal, v.str.strLen),
               "bytes handed over are not a block of the memory manager (or shorter than strLen)", what);
        out << (blob ? "blob " : "pstr ") << static_cast<long long>(v.str.strLen) << " ";
        static const char hex[] = "0123456789abcdef";
        for (uint32_t i = 0; i < v.str.strLen && i < 8; ++i) {
            const auto b = static_cast<unsigned char>(v.str.pstrVal[i]);
            out.add(&hex[b >> 4], 1);
            out.add(&hex[b & 15], 1);
        }
        host.memory->platform_free(v.str.pstrVal);
        break;
    }
    default: out << "vt " << static_cast<int>(v.vt);
    }
    v = tVariant{};
    return out;
}

void set_arg(tVariant& v, const Arg& a, Wide*& keep) {
    v = tVariant{};
    switch (a.kind) {
    case 's':
        keep = static_cast<Wide*>(os::alloc(sizeof(Wide)));
        new (keep, Place{}) Wide(a.text);
        v.vt = VTYPE_PWSTR;
        v.wstr.pwstrVal = keep->data();
        v.wstr.wstrLen = keep->size();
        break;
    case 'n': {
        uint32_t n = 0; // 32 bits: the x86 host has no helpers for 64-bit arithmetic
        const char* s = a.text.data();
        const bool negative = *s == '-';
        for (s += negative ? 1 : 0; *s >= '0' && *s <= '9'; ++s)
            n = n * 10u + static_cast<uint32_t>(*s - '0');
        v.vt = VTYPE_I4;
        v.lVal = negative ? -static_cast<int32_t>(n) : static_cast<int32_t>(n);
        break;
    }
    case 'd': {
        // The platform's Number with a fraction: parsed here by digits, whatever the C locale says.
        double d = 0, scale = 1;
        bool fraction = false;
        for (const char* s = a.text.data(); *s != '\0'; ++s) {
            if (*s == '.')
                fraction = true;
            else if (fraction)
                d += (*s - '0') * (scale /= 10);
            else
                d = d * 10 + (*s - '0');
        }
        v.vt = VTYPE_R8;
        v.dblVal = d;
        break;
    }
    case 'b':
        v.vt = VTYPE_BOOL;
        v.bVal = a.text == "1";
        break;
    default: v.vt = VTYPE_EMPTY;
    }
}

struct Outcome {
    bool ok = false;
    Text value; // a function's result, or the last error text after a failure
};

Text call_text(const char* name, const Arg* args, size_t count, bool function, Outcome& outcome);

Text last_error() {
    Outcome o;
    call_text("GetLastError", nullptr, 0, true, o);
    return o.value.starts("s ") ? Text(o.value.data() + 2) : o.value;
}

// A call as the platform makes it: the method found by name, missing parameters filled with the component's
// defaults (or refused when it has none), then the checks that hold for every call: a success leaves no
// error, a failure has its text and went to AddError.
Text call_text(const char* name, const Arg* args, size_t count, bool function, Outcome& outcome) {
    outcome = Outcome{};
    Wide wname(name);
    const long method = ext()->FindMethod(wname.data());
    if (method < 0) return outcome.value = "no such method", outcome.value;
    const long n = ext()->GetNParams(method);
    if (function && !ext()->HasRetVal(method)) return outcome.value = "not a function", outcome.value;
    if (static_cast<long>(count) > n) return outcome.value = "too many parameters", outcome.value;
    auto* params = static_cast<tVariant*>(os::alloc(sizeof(tVariant) * static_cast<size_t>(n + 1)));
    auto** keep = static_cast<Wide**>(os::alloc(sizeof(Wide*) * static_cast<size_t>(n + 1)));
    bool missing = false;
    for (long i = 0; i < n; ++i) {
        keep[i] = nullptr;
        if (static_cast<size_t>(i) < count) {
            set_arg(params[i], args[i], keep[i]);
        } else {
            params[i] = tVariant{};
            missing = missing || !ext()->GetParamDefValue(method, i, &params[i]);
        }
    }
    const size_t errors = host.connection->errors;
    if (missing) {
        outcome.value = "a parameter without a default is missing";
    } else {
        tVariant result{};
        outcome.ok =
            function ? ext()->CallAsFunc(method, &result, params, n) : ext()->CallAsProc(method, params, n);
        Text value = take_value(result, name);
        const bool asking = Text(name) == "GetLastError";
        if (outcome.ok) {
            outcome.value = value;
            expect(host.connection->errors == errors, "a call that succeeded called AddError", name);
            if (!asking) {
                const Text left = last_error();
                expect(left.size() == 0, "GetLastError after a success is not empty",
                       Text(name) << ": " << left);
            }
        } else if (asking) {
            outcome.value = "GetLastError failed";
        } else {
            expect(value == "empty", "a failed call set a result", Text(name) << ": " << value);
            outcome.value = last_error();
            expect(outcome.value.size() > 0, "a failed call left no error text", name);
            expect(host.connection->errors > errors, "a failed call did not call AddError", name);
            expect(host.connection->last_error == outcome.value, "AddError's text is not GetLastError's",
                   Text(name) << ": " << host.connection->last_error << " / " << outcome.value);
        }
    }
    for (long i = 0; i < n; ++i) {
        if (keep[i] != nullptr) {
            keep[i]->~Wide();
            os::release(keep[i]);
        } else if (static_cast<size_t>(i) >= count) {
            take_value(params[i], "a default");
        }
    }
    os::release(keep);
    os::release(params);
    return outcome.value;
}

Outcome call(const char* name, const Arg* args = nullptr, size_t count = 0, bool function = true) {
    Outcome o;
    call_text(name, args, count, function, o);
    return o;
}

Text prop_value(long index) {
    tVariant v{};
    const bool ok = ext()->GetPropVal(index, &v);
    Text value = take_value(v, "a property");
    return ok ? value : Text("fail");
}

Text name_of(const WCHAR_T* name, const char* what) {
    expect(name == nullptr || host.memory->holds(name, (wide_length(name) + 1) * sizeof(WCHAR_T)),
           "a name handed over is not a block of the memory manager", what);
    Text out = narrow(name);
    host.memory->platform_free(const_cast<WCHAR_T*>(name));
    return out;
}

// ---- load: the entry points and the start of the object, in the platform's order ----

bool load(const char* component, const char* library) {
    void* addin = os::load_library(component);
    void* dll = os::load_library(library);
    if (addin == nullptr || dll == nullptr)
        return fault("cannot load", Text(component) << " " << library), false;
    host.get_class_names = reinterpret_cast<GetClassNamesFn>(os::symbol(addin, "GetClassNames"));
    host.get_class_object = reinterpret_cast<GetClassObjectFn>(os::symbol(addin, "GetClassObject"));
    host.destroy_object = reinterpret_cast<DestroyObjectFn>(os::symbol(addin, "DestroyObject"));
    host.set_platform_capabilities =
        reinterpret_cast<SetPlatformCapabilitiesFn>(os::symbol(addin, "SetPlatformCapabilities"));
    host.get_attach_type = reinterpret_cast<GetAttachTypeFn>(os::symbol(addin, "GetAttachType"));
    host.lib.decode_frame = reinterpret_cast<DecodeFrameFn>(os::symbol(dll, "dvk_decode_frame"));
    host.lib.key_for_char = reinterpret_cast<KeyForCharFn>(os::symbol(dll, "dvk_key_for_char"));
    host.lib.barcode_svg = reinterpret_cast<BarcodeSvgFn>(os::symbol(dll, "dvk_barcode_svg"));
    host.lib.version = reinterpret_cast<VersionFn>(os::symbol(dll, "dvk_version"));
    host.lib.free = reinterpret_cast<FreeFn>(os::symbol(dll, "dvk_free"));
    if (!host.get_class_names || !host.get_class_object || !host.destroy_object ||
        !host.set_platform_capabilities || !host.get_attach_type || !host.lib.decode_frame ||
        !host.lib.key_for_char || !host.lib.barcode_svg || !host.lib.version || !host.lib.free)
        return fault("an entry point is missing", component), false;

    const Text names = narrow(host.get_class_names());
    expect(names == "Scanner" || names.starts("Scanner|") || names.contains("|Scanner"),
           "GetClassNames does not offer Scanner", names);
    expect(host.set_platform_capabilities(eAppCapabilities1) == eAppCapabilities1,
           "SetPlatformCapabilities does not take the capabilities offered");
    const int attach = host.get_attach_type();
    expect(attach >= eCanAttachNotIsolated && attach <= eCanAttachAny, "GetAttachType", Text() << attach);

    IComponentBase* none = nullptr;
    Wide unknown("NoSuchClass"), scanner("Scanner");
    expect(host.get_class_object(unknown.data(), &none) == 0 && none == nullptr,
           "GetClassObject makes an object of an unknown class");
    if (host.get_class_object(scanner.data(), &host.object) == 0 || host.object == nullptr)
        return fault("GetClassObject(Scanner) failed", Text()), false;
    expect(host.object->Init(static_cast<IAddInDefBase*>(host.connection)), "Init returned false");
    expect(host.object->setMemManager(static_cast<IMemoryManager*>(host.memory)),
           "setMemManager returned false");
    expect(host.object->GetInfo() == 2000, "GetInfo", Text() << host.object->GetInfo());
    WCHAR_T* extension = nullptr;
    expect(ext()->RegisterExtensionAs(&extension), "RegisterExtensionAs returned false");
    const Text registered = name_of(extension, "RegisterExtensionAs");
    expect(registered == "DorvikScanner", "RegisterExtensionAs", registered);
    return true;
}

// ---- the command loop ----

class Input {
  public:
    ~Input() { os::release(buffer_); }
    // The next line without its end; false at the end of input.
    bool line(Text& out) {
        out.clear();
        for (;;) {
            for (; at_ < got_; ++at_) {
                if (buffer_[at_] == '\n') {
                    ++at_;
                    return true;
                }
                out.add(&buffer_[at_], 1);
            }
            if (buffer_ == nullptr) buffer_ = static_cast<char*>(os::alloc(kRoom));
            at_ = 0;
            got_ = os::read_in(buffer_, kRoom);
            if (got_ == 0) return out.size() > 0;
        }
    }

  private:
    static constexpr size_t kRoom = 4096;
    char* buffer_ = nullptr; // on the heap: the Windows host has no stack probes for large frames
    size_t at_ = 0, got_ = 0;
};

size_t split(const Text& line, Text* fields, size_t room) {
    size_t n = 0;
    const char* s = line.data();
    const char* end = s + line.size();
    while (n < room) {
        const char* tab = s;
        while (tab < end && *tab != '\t')
            ++tab;
        fields[n++] = unescaped(s, static_cast<size_t>(tab - s));
        if (tab == end) break;
        s = tab + 1;
    }
    return n;
}

void answer(const char* head, const Text& value) {
    Text line;
    line << head << " " << escaped(value.data(), value.size()) << "\n";
    put(line);
}

void wait_events(const Text& message, size_t count, unsigned timeout_ms) {
    const uint64_t start = os::now_ms();
    while (host.connection->arrived(message) < count && os::now_ms() - start < timeout_ms)
        os::sleep_ms(10);
    size_t kept = 0, lost = 0;
    Event* all = host.connection->deliver();
    for (Event* e = all; e != nullptr; e = e->next) {
        if (e->lost) {
            lost += e->message == message ? 1 : 0;
            continue;
        }
        kept += e->message == message ? 1 : 0;
        Text line;
        line << "event " << escaped(e->source.data(), e->source.size()) << "\t"
             << escaped(e->message.data(), e->message.size()) << "\t"
             << escaped(e->data.data(), e->data.size()) << "\n";
        put(line);
    }
    delete_events(all);
    Text line;
    line << "waited " << kept << " " << lost << "\n";
    put(line);
}

unsigned number_of(const Text& t) {
    unsigned n = 0;
    for (const char* s = t.data(); *s >= '0' && *s <= '9'; ++s)
        n = n * 10 + static_cast<unsigned>(*s - '0');
    return n;
}

// Every property and method as the platform lists them, one line each: "prop INDEX EN RU VALUE READ WRITE"
// and "method INDEX EN RU PARAMS FUNCTION DEFAULT..." (a parameter without a default as "-").
void members() {
    for (long i = 0; i < ext()->GetNProps(); ++i) {
        tVariant v{};
        v.vt = VTYPE_BOOL;
        Text line;
        line << "prop\t" << i << "\t" << name_of(ext()->GetPropName(i, 0), "GetPropName") << "\t"
             << name_of(ext()->GetPropName(i, 1), "GetPropName") << "\t" << prop_value(i) << "\t"
             << (ext()->IsPropReadable(i) ? 1 : 0) << "\t" << (ext()->IsPropWritable(i) ? 1 : 0)
             << (ext()->SetPropVal(i, &v) ? "\ttook a value" : "");
        answer("member", line);
    }
    for (long i = 0; i < ext()->GetNMethods(); ++i) {
        Text line;
        line << "method\t" << i << "\t" << name_of(ext()->GetMethodName(i, 0), "GetMethodName") << "\t"
             << name_of(ext()->GetMethodName(i, 1), "GetMethodName") << "\t" << ext()->GetNParams(i) << "\t"
             << (ext()->HasRetVal(i) ? 1 : 0);
        for (long p = 0; p < ext()->GetNParams(i); ++p) {
            tVariant v{};
            const bool has = ext()->GetParamDefValue(i, p, &v);
            const Text value = take_value(v, "GetParamDefValue");
            line << "\t" << (has ? value : Text("-"));
        }
        answer("member", line);
    }
    answer("ok", "members");
}

int finish() {
    if (host.object != nullptr) {
        host.object->Done();
        host.connection->close();
        expect(host.destroy_object(&host.object) == 0 && host.object == nullptr, "DestroyObject");
    }
    delete_events(host.connection->deliver());
    Memory& m = *host.memory;
    expect(m.live() == 0, "blocks of the memory manager never freed", Text() << m.live());
    expect(m.bad_frees == 0, "FreeMemory of a block the manager did not give", Text() << m.bad_frees);
    expect(m.double_frees == 0, "a block freed twice", Text() << m.double_frees);
    expect(m.component_frees == 0, "the component freed a block it had handed over",
           Text() << m.component_frees);
    expect(m.wrong_thread + host.connection->wrong_thread == 0,
           "the platform called from a thread of the component (other than ExternalEvent)",
           Text() << m.wrong_thread + host.connection->wrong_thread);
    expect(host.connection->after_done == 0, "the platform called after Done",
           Text() << host.connection->after_done);
    Text line;
    line << "bye " << failures << " failures; memory manager: " << m.allocations << " blocks, "
         << m.host_frees << " freed by the platform\n";
    put(line);
    return failures == 0 ? 0 : 1;
}

} // namespace

int host_main() {
    const uintptr_t main = os::thread_id();
    Memory memory(main);
    Connection connection(main);
    host.memory = &memory;
    host.connection = &connection;
    Input input;
    Text line, fields[8];
    while (input.line(line)) {
        const size_t n = split(line, fields, 8);
        const Text& command = fields[0];
        Library& lib = host.lib;
        if (command == "quit") break;
        if (command == "load" && n == 3) {
            answer(load(fields[1].data(), fields[2].data()) ? "ok" : "fail", "load");
        } else if (host.object == nullptr) {
            answer("fail", "load first");
        } else if ((command == "call" || command == "proc") && n >= 2) {
            Arg args[6];
            for (size_t i = 2; i < n; ++i) {
                args[i - 2].kind = fields[i].size() > 0 ? fields[i].data()[0] : 'u';
                if (fields[i].size() > 2) args[i - 2].text.add(fields[i].data() + 2, fields[i].size() - 2);
            }
            const Outcome o = call(fields[1].data(), args, n - 2, command == "call");
            answer(o.ok ? "ok" : "fail", o.value);
        } else if (command == "prop" && n == 2) {
            Wide w(fields[1]);
            const long i = ext()->FindProp(w.data());
            answer(i >= 0 ? "ok" : "fail", i >= 0 ? prop_value(i) : Text("no such property"));
        } else if (command == "find" && n == 2) {
            Wide w(fields[1]);
            answer("ok", Text() << ext()->FindProp(w.data()) << " " << ext()->FindMethod(w.data()));
        } else if (command == "members") {
            members();
        } else if (command == "locale" && n == 2) {
            Wide w(fields[1]);
            host.object->SetLocale(w.data());
            answer("ok", fields[1]);
        } else if (command == "lib" && n == 4 && fields[1] == "decode") {
            const char* profile = fields[2].size() > 0 ? fields[2].data() : nullptr;
            const auto size = static_cast<int32_t>(fields[3].size());
            answer("ok", Text("s ") << lib.take(lib.decode_frame(profile, fields[3].data(), size, nullptr)));
        } else if (command == "lib" && n == 7 && fields[1] == "svg") {
            const auto number = [&](size_t i) { return static_cast<int32_t>(fields[i].data()[0] - '0'); };
            answer("ok", Text("s ") << lib.take(lib.barcode_svg(fields[2].data(), fields[3].data(), -1,
                                                                number(4), number(5), number(6))));
        } else if (command == "lib" && n == 3 && fields[1] == "key") {
            answer("ok", Text("s ") << lib.take(lib.key_for_char(fields[2].data()[0])));
        } else if (command == "lib" && n == 2 && fields[1] == "version") {
            answer("ok", Text("s ") << lib.version());
        } else if (command == "wait" && n == 4) {
            wait_events(fields[1], number_of(fields[2]), number_of(fields[3]));
        } else {
            answer("fail", Text("unknown command: ") << line);
        }
    }
    return finish();
}
