// ALSA sequencer output ports listed and opened as MIDI output devices.
#include "platform/alsaseq.h"

#include <alsa/asoundlib.h>

#include <mutex>
#include <string>

namespace plat {
namespace {

void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaSeqDevice : public MidiOutDevice {
public:
    AlsaSeqDevice(int client, int port, std::string name)
        : client_(client), port_(port), name_(std::move(name)) {}
    ~AlsaSeqDevice() override {
        if (seq_) snd_seq_close(seq_);
    }

    std::string name() const override { return name_; }

    // The first open creates our port and connects it; later opens share it.
    uint32_t open() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (opens_ > 0) {
            ++opens_;
            return kMidiOk;
        }
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
            seq_ = nullptr;
            return kMidiErrNoDevice;
        }
        snd_seq_set_client_name(seq_, "Morvela");
        port_self_ = snd_seq_create_simple_port(seq_, "Morvela MIDI Out",
                                                SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_self_ < 0 || snd_seq_connect_to(seq_, port_self_, client_, port_) < 0) {
            snd_seq_close(seq_);
            seq_ = nullptr;
            return kMidiErrNoDevice;  // the destination went away since the table was built
        }
        opens_ = 1;
        return kMidiOk;
    }

    uint32_t close() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (opens_ == 0) return kMidiOk;
        if (--opens_ > 0) return kMidiOk;
        for (uint32_t ch = 0; ch < 16; ++ch) {
            sendLocked(0xB0 | ch | (123u << 8));  // all notes off
            sendLocked(0xB0 | ch | (120u << 8));  // all sound off
        }
        snd_seq_drain_output(seq_);
        snd_seq_close(seq_);
        seq_ = nullptr;
        return kMidiOk;
    }

    uint32_t send(uint32_t message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!seq_) return kMidiErrNotReady;
        return sendLocked(message);
    }

private:
    uint32_t sendLocked(uint32_t message) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, port_self_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        const int status = static_cast<int>(message & 0xFF);
        const int ch = status & 0x0F;
        const int d1 = static_cast<int>((message >> 8) & 0x7F);
        const int d2 = static_cast<int>((message >> 16) & 0x7F);
        switch (status & 0xF0) {
        case 0x80: snd_seq_ev_set_noteoff(&ev, ch, d1, d2); break;
        case 0x90: snd_seq_ev_set_noteon(&ev, ch, d1, d2); break;
        case 0xA0: snd_seq_ev_set_keypress(&ev, ch, d1, d2); break;
        case 0xB0: snd_seq_ev_set_controller(&ev, ch, d1, d2); break;
        case 0xC0: snd_seq_ev_set_pgmchange(&ev, ch, d1); break;
        case 0xD0: snd_seq_ev_set_chanpress(&ev, ch, d1); break;
        case 0xE0: snd_seq_ev_set_pitchbend(&ev, ch, (d1 | (d2 << 7)) - 8192); break;
        default:
            switch (status) {
            case 0xF8: ev.type = SND_SEQ_EVENT_CLOCK; break;
            case 0xFA: ev.type = SND_SEQ_EVENT_START; break;
            case 0xFB: ev.type = SND_SEQ_EVENT_CONTINUE; break;
            case 0xFC: ev.type = SND_SEQ_EVENT_STOP; break;
            case 0xFE: ev.type = SND_SEQ_EVENT_SENSING; break;
            default: return kMidiOk;  // nothing the sequencer carries
            }
        }
        if (snd_seq_event_output_direct(seq_, &ev) < 0) return kMidiErrNoDevice;
        return kMidiOk;
    }

    const int client_;
    const int port_;
    const std::string name_;
    std::mutex mutex_;
    int opens_ = 0;
    snd_seq_t* seq_ = nullptr;
    int port_self_ = -1;
};

}  // namespace

void silenceAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsaError); });
}

std::vector<std::shared_ptr<MidiOutDevice>> alsaSequencerDevices() {
    silenceAlsaErrors();
    std::vector<std::shared_ptr<MidiOutDevice>> devices;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return devices;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    const unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            unsigned caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
            devices.push_back(std::make_shared<AlsaSeqDevice>(id, snd_seq_port_info_get_port(port),
                                                              snd_seq_port_info_get_name(port)));
        }
    }
    snd_seq_close(seq);
    return devices;
}

}  // namespace plat
