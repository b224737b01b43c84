// A new file made from a template keeps the template's descriptor once its
// own handle is closed, until it replaces the template's file or is
// deleted. The replace then knows which file it must find under the name
// (the one the template was opened on, not whatever the name leads to now),
// and the descriptor keeps that file's lease until the replace is done.
//
// No heap and no lock: DeleteFileA takes an entry out, also from a signal
// handler on the way out of the process.
#include <unistd.h>

#include "internal.h"

struct KeptTemplate {
    dev_t dev;
    ino_t ino;
    int fd;  // -1: a free entry
    bool leased;
};

static const int kMaxKept = 128;
static KeptTemplate kept[kMaxKept];
static bool kept_ready;
static int next_evicted;

static void close_kept(KeptTemplate &entry)
{
    int fd = entry.fd;
    entry.fd = -1;
    if (fd < 0)
        return;
    if (entry.leased)
        winposix_lease_forget(fd);
    close(fd);
}

static void make_ready(void)
{
    if (kept_ready)
        return;
    for (KeptTemplate &entry : kept)
        entry.fd = -1;
    kept_ready = true;
}

void winposix_keep_template(const struct stat &made, int template_fd, bool leased)
{
    make_ready();
    KeptTemplate *slot = nullptr;
    for (KeptTemplate &entry : kept) {
        if (entry.fd < 0) {
            slot = &entry;
            break;
        }
    }
    // Full: the oldest gives way; its file is then replaced without the check.
    if (slot == nullptr) {
        slot = &kept[next_evicted];
        next_evicted = (next_evicted + 1) % kMaxKept;
        close_kept(*slot);
    }
    slot->dev = made.st_dev;
    slot->ino = made.st_ino;
    slot->leased = leased;
    slot->fd = template_fd;
}

int winposix_take_kept(const struct stat &made, bool *leased)
{
    if (!kept_ready)
        return -1;
    for (KeptTemplate &entry : kept) {
        if (entry.fd >= 0 && entry.dev == made.st_dev && entry.ino == made.st_ino) {
            int fd = entry.fd;
            *leased = entry.leased;
            entry.fd = -1;
            return fd;
        }
    }
    return -1;
}

void winposix_release_kept(int fd, bool leased)
{
    if (fd < 0)
        return;
    if (leased)
        winposix_lease_forget(fd);
    close(fd);
}
