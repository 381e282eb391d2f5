/* A stand-in for the ALSA sequencer, preloaded into qtractor by tests/clap/run.sh: test machines have no
 * /dev/snd/seq, without which qtractor's MIDI engine, and with it the whole session, will not start. It opens
 * a sequencer that has no clients, no ports and no events: a pipe whose read end never becomes readable
 * stands for its file descriptor. Test-only; every call that takes the handle is answered here. */
#include <alsa/asoundlib.h>

#include <errno.h>
#include <string.h>
#include <unistd.h>

static int pipeFds[2] = {-1, -1};
static int nextPort = 0;
static char handle[64];

int snd_seq_open(snd_seq_t** seq, const char* name, int streams, int mode)
{
    (void)name, (void)streams, (void)mode;
    if (pipeFds[0] < 0 && pipe(pipeFds) != 0) return -errno;
    *seq = (snd_seq_t*)handle;
    return 0;
}

int snd_seq_poll_descriptors_count(snd_seq_t* seq, short events)
{
    (void)seq, (void)events;
    return 1;
}

int snd_seq_poll_descriptors(snd_seq_t* seq, struct pollfd* pfds, unsigned int space, short events)
{
    (void)seq;
    if (space < 1) return 0;
    pfds[0].fd = pipeFds[0];
    pfds[0].events = events;
    pfds[0].revents = 0;
    return 1;
}

int snd_seq_event_input(snd_seq_t* seq, snd_seq_event_t** ev)
{
    (void)seq;
    *ev = NULL;
    return -EAGAIN;
}

int snd_seq_event_input_pending(snd_seq_t* seq, int fetch)
{
    (void)seq, (void)fetch;
    return 0;
}

int snd_seq_client_id(snd_seq_t* seq)
{
    (void)seq;
    return 128;
}

int snd_seq_create_simple_port(snd_seq_t* seq, const char* name, unsigned int caps, unsigned int type)
{
    (void)seq, (void)name, (void)caps, (void)type;
    return nextPort++;
}

#define NOTHING_THERE(call, ...)                                                                                 \
    int call(snd_seq_t* seq, __VA_ARGS__)                                                                    \
    {                                                                                                        \
        (void)seq;                                                                                           \
        return -ENOENT;                                                                                      \
    }
NOTHING_THERE(snd_seq_get_any_client_info, int client, snd_seq_client_info_t* info)
NOTHING_THERE(snd_seq_get_any_port_info, int client, int port, snd_seq_port_info_t* info)
NOTHING_THERE(snd_seq_query_next_client, snd_seq_client_info_t* info)
NOTHING_THERE(snd_seq_query_next_port, snd_seq_port_info_t* info)
NOTHING_THERE(snd_seq_query_port_subscribers, snd_seq_query_subscribe_t* subs)

int snd_seq_get_queue_status(snd_seq_t* seq, int q, snd_seq_queue_status_t* status)
{
    (void)seq, (void)q;
    memset(status, 0, snd_seq_queue_status_sizeof());
    return 0;
}

int snd_seq_get_queue_tempo(snd_seq_t* seq, int q, snd_seq_queue_tempo_t* tempo)
{
    (void)seq, (void)q;
    memset(tempo, 0, snd_seq_queue_tempo_sizeof());
    return 0;
}

int snd_seq_get_port_info(snd_seq_t* seq, int port, snd_seq_port_info_t* info)
{
    (void)seq, (void)port;
    memset(info, 0, snd_seq_port_info_sizeof());
    return 0;
}

#define ACCEPTED(call, ...)                                                                                      \
    int call(snd_seq_t* seq, __VA_ARGS__)                                                                    \
    {                                                                                                        \
        (void)seq;                                                                                           \
        return 0;                                                                                            \
    }
#define ACCEPTED_PLAIN(call)                                                                                     \
    int call(snd_seq_t* seq)                                                                                 \
    {                                                                                                        \
        (void)seq;                                                                                           \
        return 0;                                                                                            \
    }
ACCEPTED_PLAIN(snd_seq_close)
ACCEPTED_PLAIN(snd_seq_alloc_queue)
ACCEPTED_PLAIN(snd_seq_drain_output)
ACCEPTED_PLAIN(snd_seq_drop_input)
ACCEPTED_PLAIN(snd_seq_drop_output)
ACCEPTED(snd_seq_set_client_name, const char* name)
ACCEPTED(snd_seq_free_queue, int q)
ACCEPTED(snd_seq_set_queue_timer, int q, snd_seq_queue_timer_t* timer)
ACCEPTED(snd_seq_delete_simple_port, int port)
ACCEPTED(snd_seq_subscribe_port, snd_seq_port_subscribe_t* sub)
ACCEPTED(snd_seq_unsubscribe_port, snd_seq_port_subscribe_t* sub)
ACCEPTED(snd_seq_event_output, snd_seq_event_t* ev)
ACCEPTED(snd_seq_event_output_direct, snd_seq_event_t* ev)
ACCEPTED(snd_seq_control_queue, int q, int type, int value, snd_seq_event_t* ev)
ACCEPTED(snd_seq_set_queue_tempo, int q, snd_seq_queue_tempo_t* tempo)
ACCEPTED(snd_seq_remove_events, snd_seq_remove_events_t* rmp)
ACCEPTED(snd_seq_set_port_info, int port, snd_seq_port_info_t* info)
