// A stand-in for the 1C:Enterprise platform that loads the add-in as the platform does and checks what
// crosses the interface: every failure reported (false, GetLastError, AddError), every value handed over in
// blocks of the platform's memory manager and nothing else, events kept in a buffer of the depth the
// component asks for. The checks that need no device run under `check`; the driver (driver.py) plays a serial
// scanner and sends commands on standard input, one per line, fields separated by tabs:
//   load COMPONENT LIBRARY | check CORPUS | call NAME ARG... | proc NAME ARG... | prop NAME
//   wait MESSAGE COUNT TIMEOUT_MS | quit
// An argument is s:TEXT (string), n:INT, d:DECIMAL, b:0|1 or u: (undefined); texts are escaped as \\ \t \n
// \r. Every answer ends with a line starting "ok", "fail", "waited", "checked" or "bye"; "FAIL ..." lines
// before it are faults the host saw.
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

// The platform finds names case-insensitively: the component must too, in Cyrillic as well.
Text recased(const char* s, bool upper) {
    Wide w(s);
    for (uint32_t i = 0; i < w.size(); ++i) {
        const auto c = static_cast<uint16_t>(w.data()[i]);
        const bool lower_latin = c >= 'a' && c <= 'z', upper_latin = c >= 'A' && c <= 'Z';
        const bool lower_cyr = c >= 0x430 && c <= 0x44f, upper_cyr = c >= 0x410 && c <= 0x42f;
        if (upper && (lower_latin || lower_cyr)) w.data()[i] = static_cast<WCHAR_T>(c - 32);
        if (!upper && (upper_latin || upper_cyr)) w.data()[i] = static_cast<WCHAR_T>(c + 32);
    }
    return narrow(w.data(), w.size());
}

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

// "s:text" and so on, split at '|' (no argument holds one here).
size_t parse_args(const char* spec, Arg* args, size_t room) {
    size_t n = 0;
    for (const char* s = spec; *s != '\0' && n < room; ++n) {
        const char* end = s;
        while (*end != '\0' && *end != '|')
            ++end;
        args[n].kind = s[0];
        args[n].text.clear();
        if (end - s > 2) args[n].text.add(s + 2, static_cast<size_t>(end - s - 2));
        s = *end == '|' ? end + 1 : end;
    }
    return n;
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

// ---- check: every member by its names and types, failures, locales, the corpus ----

struct MethodRow {
    const char* en;
    const char* ru;
    long params;
    const char* defaults[5]; // null: the parameter is required
    bool function;
};

const MethodRow kMethods[] = {
    {"GetVersion", "ПолучитьНомерВерсии", 0, {}, true},
    {"GetLastError", "ПолучитьОшибку", 0, {}, true},
    {"Decode", "РазобратьКод", 2, {nullptr, "s "}, true},
    {"DecodeTyped", "РазобратьНабранное", 2, {nullptr, "s "}, true},
    {"KeyForChar", "КлавишаСимвола", 1, {}, true},
    {"BarcodeSvg", "ШтрихкодSVG", 5, {nullptr, nullptr, "b false", "n 4", "n 4"}, true},
    {"BarcodePng", "ШтрихкодPNG", 5, {nullptr, nullptr, "b false", "n 4", "n 4"}, true},
    {"Connect", "Подключить", 3, {nullptr, nullptr, "s "}, true},
    {"Disconnect", "Отключить", 0, {}, false},
    {"DeviceTest", "ТестУстройства", 3, {nullptr, nullptr, "s "}, true},
    {"StartSetup", "НачатьНастройку", 2, {"s ", "s "}, true},
    {"SetupState", "СостояниеНастройки", 0, {}, true},
    {"SkipStep", "ПропуститьШаг", 0, {}, true},
    {"FeedSetup", "ПередатьНастройке", 1, {}, true},
    {"LearnedProfile", "ИзученныйПрофиль", 0, {}, true},
    {"StopSetup", "ЗавершитьНастройку", 0, {}, false},
};

struct PropRow {
    const char* en;
    const char* ru;
    const char* value; // null: the library's version
};

const PropRow kProps[] = {
    {"Version", "Версия", nullptr},
    {"Connected", "Подключен", "b false"},
    {"InSetup", "ИдетНастройка", "b false"},
};

// Each name as written, upper-cased and lower-cased, must find the same member, whose names are these.
template <typename Find, typename Name>
long find_by_names(const char* en, const char* ru, Find find, Name name_of_index) {
    const Text spellings[] = {
        en, ru, recased(en, true), recased(ru, true), recased(en, false), recased(ru, false)};
    Wide first(en);
    const long index = find(first.data());
    for (const Text& spelling : spellings) {
        Wide w(spelling);
        expect(find(w.data()) == index && index >= 0, "not found by this name", spelling);
    }
    if (index < 0) return index;
    expect(name_of_index(index, 0) == en, "the English name given back", en);
    expect(name_of_index(index, 1) == ru, "the Russian name given back", ru);
    return index;
}

void check_members() {
    expect(ext()->GetNProps() == 3, "GetNProps", Text() << ext()->GetNProps());
    expect(ext()->GetNMethods() == 16, "GetNMethods", Text() << ext()->GetNMethods());
    Wide nothing("NoSuchMember");
    expect(ext()->FindProp(nothing.data()) == -1 && ext()->FindMethod(nothing.data()) == -1,
           "an unknown name was found");
    const Text version = host.lib.version();
    for (const PropRow& row : kProps) {
        const long i = find_by_names(
            row.en, row.ru, [](const WCHAR_T* w) { return ext()->FindProp(w); },
            [](long index, long alias) { return name_of(ext()->GetPropName(index, alias), "GetPropName"); });
        if (i < 0) continue;
        const Text value = prop_value(i),
                   wanted = row.value != nullptr ? Text(row.value) : Text("s ") << version;
        expect(value == wanted, "property value", Text(row.en) << ": " << value);
        expect(ext()->IsPropReadable(i) && !ext()->IsPropWritable(i), "a property is not read-only", row.en);
        tVariant v{};
        v.vt = VTYPE_BOOL;
        expect(!ext()->SetPropVal(i, &v), "a read-only property took a value", row.en);
    }
    for (const MethodRow& row : kMethods) {
        const long i = find_by_names(
            row.en, row.ru, [](const WCHAR_T* w) { return ext()->FindMethod(w); },
            [](long index, long alias) {
                return name_of(ext()->GetMethodName(index, alias), "GetMethodName");
            });
        if (i < 0) continue;
        expect(ext()->GetNParams(i) == row.params, "GetNParams",
               Text(row.en) << ": " << ext()->GetNParams(i));
        expect(ext()->HasRetVal(i) == row.function, "HasRetVal", row.en);
        for (long p = 0; p < row.params; ++p) {
            tVariant v{};
            const bool has = ext()->GetParamDefValue(i, p, &v);
            const Text value = take_value(v, "GetParamDefValue");
            const char* wanted = row.defaults[p];
            expect(has == (wanted != nullptr), "GetParamDefValue: whether the parameter has a default",
                   Text(row.en) << " #" << p);
            if (has && wanted != nullptr)
                expect(value == wanted, "GetParamDefValue", Text(row.en) << " #" << p << ": " << value);
        }
    }
}

struct CallRow {
    const char* method;
    const char* args;
};

// Arguments of a wrong type, and values the component cannot use: each call must fail as the platform
// expects.
const CallRow kRefused[] = {
    {"Decode", "n:5"},
    {"РазобратьКод", "s:4600000000008|b:1"},
    {"DecodeTyped", "d:1.5"},
    {"KeyForChar", "b:1"},
    {"KeyForChar", "s:"},
    {"BarcodeSvg", "s:ean13|s:4600000000008|s:yes"},
    {"ШтрихкодSVG", "s:ean13|s:4600000000008|b:0|s:4"},
    {"BarcodeSvg", "s:ean13|s:not digits"},
    {"BarcodePng", "n:1|s:4600000000008"},
    {"Connect", "n:1|s:COM1"},
    {"Подключить", "s:no such transport|s:COM1"},
    {"DeviceTest", "s:serial|b:1"},
    {"ТестУстройства", "s:serial|s:/no/such/device"},
    {"StartSetup", "n:1"},
    {"FeedSetup", "n:1"},
    {"LearnedProfile", ""}, // no set-up has run yet
    {"Decode", ""},         // Code has no default
};

void check_refused() {
    for (const CallRow& row : kRefused) {
        Arg args[5];
        const size_t n = parse_args(row.args, args, 5);
        const Outcome o = call(row.method, args, n);
        expect(!o.ok, "a call that should fail succeeded", Text(row.method) << "(" << row.args << ")");
    }
}

// After SetLocale, error texts come in its language: Cyrillic for Russian, ASCII otherwise.
void check_locales() {
    static const struct {
        const char* locale;
        bool russian;
    } rows[] = {{"ru_RU", true}, {"en_US", false}, {"rus_RUS", true}, {"eng_USA", false}};
    for (const auto& row : rows) {
        Wide w(row.locale);
        host.object->SetLocale(w.data());
        Arg number;
        number.kind = 'n';
        number.text = "1";
        const Text error = call("Decode", &number, 1).value;
        bool cyrillic = false, ascii = true;
        for (size_t i = 0; i < error.size(); ++i) {
            const auto b = static_cast<unsigned char>(error.data()[i]);
            cyrillic = cyrillic || b == 0xd0 || b == 0xd1;
            ascii = ascii && b < 0x80;
        }
        expect(row.russian ? cyrillic : ascii && error.size() > 0, "the error text's language",
               Text(row.locale) << ": " << error);
    }
    Wide ru("ru_RU");
    host.object->SetLocale(ru.data());
}

Arg text_arg(const char* s, size_t n) {
    Arg a;
    a.kind = 's';
    a.text.add(s, n);
    return a;
}

// Every function that needs no device: through CallAsFunc by both names, equal to the library's own answer,
// and through CallAsProc, as a configuration calls a function as a statement.
void check_services() {
    Library& lib = host.lib;
    const char* gs1 = "0104607097291111\x1d"
                      "3103000123";
    struct Row {
        const char* en;
        const char* ru;
        Arg args[5];
        size_t count;
        Text wanted;
    } rows[] = {
        {"GetVersion", "ПолучитьНомерВерсии", {}, 0, Text("s ") << lib.version()},
        {"Decode",
         "РазобратьКод",
         {text_arg(gs1, length(gs1))},
         1,
         Text("s ") << lib.take(lib.decode_frame(nullptr, gs1, -1, nullptr))},
        {"KeyForChar",
         "КлавишаСимвола",
         {text_arg("A", 1)},
         1,
         Text("s ") << lib.take(lib.key_for_char('A'))},
        {"BarcodeSvg",
         "ШтрихкодSVG",
         {text_arg("ean13", 5), text_arg("4600000000008", 13)},
         2,
         Text("s ") << lib.take(lib.barcode_svg("ean13", "4600000000008", -1, 0, 4, 4))},
        {"BarcodePng",
         "ШтрихкодPNG",
         {text_arg("datamatrix", 10), text_arg(gs1, length(gs1))},
         2,
         Text("blob ")},
    };
    for (Row& row : rows) {
        const Outcome en = call(row.en, row.args, row.count), ru = call(row.ru, row.args, row.count);
        expect(en.ok && en.value.starts(row.wanted.data()), "a service's answer",
               Text(row.en) << ": " << en.value);
        expect(ru.ok && ru.value == en.value, "the Russian name answers otherwise", row.ru);
        expect(call(row.en, row.args, row.count, false).ok, "called as a procedure", row.en);
    }
    Arg png[5] = {text_arg("ean13", 5), text_arg("4600000000008", 13)};
    const Text picture = call("BarcodePng", png, 2).value;
    expect(picture.starts("blob ") && picture.contains(" 89504e470d0a1a0a"), "BarcodePng is no PNG", picture);
    Arg svg[5] = {text_arg("code128", 7), text_arg("ABC-123", 7), {}, {}, {}};
    svg[2].kind = 'b';
    svg[2].text = "1";
    svg[3].kind = 'd';
    svg[3].text = "2.0";
    const Text drawing = call("BarcodeSvg", svg, 4).value;
    expect(drawing == (Text("s ") << lib.take(lib.barcode_svg("code128", "ABC-123", -1, 1, 2, 4))),
           "BarcodeSvg with a fractional Number", drawing);
    expect(drawing.starts("s <svg"), "BarcodeSvg is no SVG", drawing);
}

// The real codes through Decode and DecodeTyped, byte for byte the library's dvk_decode_frame.
size_t check_corpus(const char* path) {
    size_t size = 0, codes = 0;
    char* file = os::read_file(path, &size);
    if (file == nullptr) return fault("cannot read the corpus", path), 0;
    Library& lib = host.lib;
    const char* missing = "{\"gsMissing\": true}";
    for (char* line = file; *line != '\0';) {
        char* end = line;
        while (*end != '\0' && *end != '\n')
            ++end;
        const char* field = line;
        for (int tabs = 0; tabs < 2 && field < end; ++field)
            tabs += *field == '\t';
        Text code, bare;
        for (const char* c = field; c < end && *c != '\t' && *c != '\r'; ++c) {
            if (end - c >= 4 && __builtin_memcmp(c, "<GS>", 4) == 0) {
                code.add("\x1d", 1);
                c += 3;
            } else {
                code.add(c, 1);
                bare.add(c, 1);
            }
        }
        if (line[0] != '#' && field < end && code.size() > 0) {
            ++codes;
            const struct {
                const char* method;
                const Text& text;
                const char* profile;
                const char* library_profile;
            } rows[] = {{"Decode", code, nullptr, nullptr},
                        {"Decode", bare, missing, missing},
                        {"DecodeTyped", bare, nullptr, missing},
                        {"РазобратьНабранное", bare, "{\"terminator\": \"\\r\"}", missing}};
            for (const auto& row : rows) {
                Arg args[2] = {text_arg(row.text.data(), row.text.size()), {}};
                if (row.profile != nullptr) args[1] = text_arg(row.profile, length(row.profile));
                const Outcome got = call(row.method, args, row.profile != nullptr ? 2 : 1);
                const Text wanted =
                    Text("s ") << lib.take(lib.decode_frame(row.library_profile, row.text.data(),
                                                            static_cast<int32_t>(row.text.size()), nullptr));
                expect(got.ok && got.value == wanted, "the scan event differs from dvk_decode_frame's",
                       Text(row.method)
                           << " " << row.text << "\n got: " << got.value << "\nwant: " << wanted);
            }
        }
        line = *end == '\0' ? end : end + 1;
    }
    os::release(file);
    return codes;
}

// ---- the command loop ----

class Input {
  public:
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
        if (command == "quit") break;
        if (command == "load" && n == 3) {
            answer(load(fields[1].data(), fields[2].data()) ? "ok" : "fail", "load");
        } else if (host.object == nullptr) {
            answer("fail", "load first");
        } else if (command == "check" && n == 2) {
            check_members();
            check_refused();
            check_locales();
            check_services();
            const size_t codes = check_corpus(fields[1].data());
            Text report;
            report << codes << " real codes, " << failures << " failures";
            answer("checked", report);
        } else if ((command == "call" || command == "proc") && n >= 2) {
            Arg args[6];
            for (size_t i = 2; i < n && i < 8; ++i) {
                args[i - 2].kind = fields[i].size() > 0 ? fields[i].data()[0] : 'u';
                args[i - 2].text.clear();
                if (fields[i].size() > 2) args[i - 2].text.add(fields[i].data() + 2, fields[i].size() - 2);
            }
            const Outcome o = call(fields[1].data(), args, n - 2, command == "call");
            answer(o.ok ? "ok" : "fail", o.value);
        } else if (command == "prop" && n == 2) {
            Wide w(fields[1]);
            const long i = ext()->FindProp(w.data());
            answer(i >= 0 ? "ok" : "fail", i >= 0 ? prop_value(i) : Text("no such property"));
        } else if (command == "wait" && n == 4) {
            long count = 0, timeout = 0;
            for (const char* s = fields[2].data(); *s != '\0'; ++s)
                count = count * 10 + (*s - '0');
            for (const char* s = fields[3].data(); *s != '\0'; ++s)
                timeout = timeout * 10 + (*s - '0');
            wait_events(fields[1], static_cast<size_t>(count), static_cast<unsigned>(timeout));
        } else {
            answer("fail", Text("unknown command: ") << line);
        }
    }
    return finish();
}
