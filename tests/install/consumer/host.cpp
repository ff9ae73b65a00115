// A C++ host that names the handles before it includes the header, as a till's class declarations do.
struct dvk_decoder;
struct dvk_tuner;

#include <cstdio>
#include <memory>
#include <string>

struct Till {
    std::unique_ptr<dvk_decoder, void (*)(dvk_decoder*)> decoder;
    std::unique_ptr<dvk_tuner, void (*)(dvk_tuner*)> tuner;
};

#include <dorvik_c.h>

int main() {
    const Till till{{dvk_decoder_new(), dvk_decoder_free}, {dvk_tuner_new("hid", nullptr), dvk_tuner_free}};
    char* state = dvk_tuner_state(till.tuner.get());
    const bool ok = till.decoder && state != nullptr && std::string(state).rfind("{\"step\":0,", 0) == 0 &&
                    std::string(dvk_version()) == DVK_VERSION_STRING;
    dvk_free(state);
    std::printf("C++ host, handles declared ahead: %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
