/*
 * The least an upgrade can cost: the same four library calls as
 * `tolvane-cli upgrade` on the benchmark's cases (one hub model, HUBNumber 1,
 * no version check), the same listing and header reads of Bin/ to choose the
 * image, and a line per step and hub on the standard output, with nothing
 * else: no settings file parsed (its one target is fixed here), no log
 * kept, no check or record. scripts/bench.sh compares tolvane-cli with it.
 */
#include "ZQ460API.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kTarget = 0x0D13, kVersionWordB = 0x1F6C };

static int CompareNames(const void* a, const void* b)
{
    return strcasecmp(*(char* const*)a, *(char* const*)b);
}

/* Bin/*.BIN in the engine's order; the caller frees. */
static char** ListImages(size_t* count)
{
    DIR* dir = opendir("Bin");
    char** names = NULL;
    size_t capacity = 0;
    *count = 0;
    if (!dir)
        return NULL;
    for (struct dirent* entry; (entry = readdir(dir)) != NULL;) {
        const size_t length = strlen(entry->d_name);
        if (length < 4 || strcasecmp(entry->d_name + length - 4, ".BIN") != 0)
            continue;
        if (*count == capacity) {
            capacity = capacity ? capacity * 2 : 64;
            names = realloc(names, capacity * sizeof *names);
        }
        names[(*count)++] = strdup(entry->d_name);
    }
    closedir(dir);
    qsort(names, *count, sizeof *names, CompareNames);
    return names;
}

/* The first image whose header names the hub's target, and its version word. */
static int ChooseImage(char* path, size_t size, unsigned* version)
{
    size_t count = 0;
    char** names = ListImages(&count);
    int chosen = 0;
    for (size_t i = 0; i < count; ++i) {
        char candidate[4096];
        snprintf(candidate, sizeof candidate, "Bin/%s", names[i]);
        free(names[i]);
        if (chosen)
            continue;
        const int fd = open(candidate, O_RDONLY);
        unsigned char header[4] = {0}, word[2] = {0};
        struct stat info;
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && pread(fd, header, sizeof header, 0) == (ssize_t)sizeof header &&
            (header[0] << 8 | header[1]) == kTarget && pread(fd, word, 2, kVersionWordB) == 2) {
            *version = (unsigned)(word[0] | word[1] << 8);
            snprintf(path, size, "%s", candidate);
            chosen = 1;
        }
        if (fd >= 0)
            close(fd);
    }
    free(names);
    return chosen;
}

int main(void)
{
    static IniInfo ini;
    static EnumInfo hubs;
    uint32_t version = 0;
    RX_GetDllVersion(&version);
    printf("library version %u\r\n", (unsigned)version);
    ini.entryCount = 1;
    ini.entries[0].vidPid = 0x05E30610u;
    ini.entries[0].targetId = kTarget;
    ini.entries[0].usbPart = 3;
    RX_SetIniInfo(&ini);
    RX_GetEnumInfo(&hubs);
    printf("hubs found: %u\r\n", (unsigned)hubs.hubCount);
    int failed = 0;
    for (unsigned entry = hubs.hubCount; entry-- > 0;) {
        char path[4096];
        unsigned imageVersion = 0;
        if (!ChooseImage(path, sizeof path, &imageVersion)) {
            printf("!!!Error Device(%u):=> Upgrade failed\r\n", entry + 1);
            failed = 1;
            continue;
        }
        printf("ISP in device(%u) is being upgraded.\r\n", entry + 1);
        if (RX_UpdateISP((uint8_t)entry, path, 0) != 0) {
            printf("!!!Error Device(%u):=> Upgrade failed\r\n", entry + 1);
            failed = 1;
            continue;
        }
        printf("Device(%u): %s %04X\r\n   =>Upgrade successful\r\n", entry + 1, path + 4, imageVersion);
    }
    return failed;
}
