/* Prints what the Orvalis exchange block holds, read-only, knowing nothing
 * but its published layout: the header words and the first point of the
 * active buffer, one "name value" line each.
 * Usage: exchange_peek [block name]   (default OrvalisSharedMem) */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

/* Header offsets, the two buffers of 1,000,000 records of 32 bytes. */
#define OFF_VIEWER_ATTACHED 0
#define OFF_PLUGIN_COUNT 4
#define OFF_OWNER_INSTANCE 8
#define OFF_ACTIVE_BUFFER 16
#define OFF_SEQUENCE 24
#define OFF_POINT_SIZE 32
#define OFF_LIGHTING_ENABLED 36
#define OFF_POINT_COUNT0 68
#define OFF_POINT_COUNT1 72
#define OFF_BUFFER0 96u
#define RECORD_BYTES 32u
#define MAX_POINTS 1000000u
#define NEEDED_BYTES (OFF_BUFFER0 + 2u * MAX_POINTS * RECORD_BYTES)

static const unsigned char* mapBlock(const char* name) {
#ifdef _WIN32
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping == NULL) {
        return NULL;
    }
    const unsigned char* view = (const unsigned char*)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping); /* the view keeps the block */
    MEMORY_BASIC_INFORMATION info;
    if (view != NULL && (VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize < NEEDED_BYTES)) {
        UnmapViewOfFile(view);
        return NULL;
    }
    return view;
#else
    char path[256];
    if (snprintf(path, sizeof path, "/%s.%u", name, (unsigned)geteuid()) >= (int)sizeof path) {
        return NULL;
    }
    const int fd = shm_open(path, O_RDONLY, 0);
    if (fd < 0) {
        return NULL;
    }
    struct stat st;
    void* view = MAP_FAILED;
    if (fstat(fd, &st) == 0 && (size_t)st.st_size >= NEEDED_BYTES) {
        view = mmap(NULL, NEEDED_BYTES, PROT_READ, MAP_SHARED, fd, 0);
    }
    close(fd);
    return view == MAP_FAILED ? NULL : (const unsigned char*)view;
#endif
}

static uint32_t u32At(const unsigned char* base, size_t at) {
    uint32_t v;
    memcpy(&v, base + at, sizeof v);
    return v;
}

static uint64_t u64At(const unsigned char* base, size_t at) {
    uint64_t v;
    memcpy(&v, base + at, sizeof v);
    return v;
}

static float f32At(const unsigned char* base, size_t at) {
    float v;
    memcpy(&v, base + at, sizeof v);
    return v;
}

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "OrvalisSharedMem";
    const unsigned char* base = mapBlock(name);
    if (base == NULL) {
        fprintf(stderr, "exchange_peek: no block named %s\n", name);
        return 1;
    }
    const uint32_t active = u32At(base, OFF_ACTIVE_BUFFER);
    const uint32_t count0 = u32At(base, OFF_POINT_COUNT0);
    const uint32_t count1 = u32At(base, OFF_POINT_COUNT1);
    printf("sequence %llu\n", (unsigned long long)u64At(base, OFF_SEQUENCE));
    printf("activeBuffer %u\n", (unsigned)active);
    printf("pointCount0 %u\n", (unsigned)count0);
    printf("pointCount1 %u\n", (unsigned)count1);
    printf("pointSize %.9g\n", (double)f32At(base, OFF_POINT_SIZE));
    printf("lightingEnabled %u\n", (unsigned)u32At(base, OFF_LIGHTING_ENABLED));
    printf("viewerAttached %u\n", (unsigned)u32At(base, OFF_VIEWER_ATTACHED));
    printf("pluginCount %u\n", (unsigned)u32At(base, OFF_PLUGIN_COUNT));
    printf("ownerInstance %llu\n", (unsigned long long)u64At(base, OFF_OWNER_INSTANCE));
    const uint32_t count = active == 0 ? count0 : count1;
    if (active <= 1 && count > 0 && count <= MAX_POINTS) {
        const size_t first = OFF_BUFFER0 + (size_t)active * MAX_POINTS * RECORD_BYTES;
        printf("first %.9g %.9g %.9g %.9g %.9g %.9g\n", (double)f32At(base, first), (double)f32At(base, first + 4),
               (double)f32At(base, first + 8), (double)f32At(base, first + 12), (double)f32At(base, first + 16),
               (double)f32At(base, first + 20));
    } else {
        printf("first none\n");
    }
    return 0;
}
