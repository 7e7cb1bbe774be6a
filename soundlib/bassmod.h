/* libbassmod: tracker music playback behind a small C interface.
 *
 * One module at a time, rendered by libopenmpt and played through SDL2 audio
 * (16-bit stereo at the rate given to BASSMOD_Init). Every call leaves its
 * outcome in the last error code (BASSMOD_OK on success), which
 * BASSMOD_ErrorGetCode reads. The calls may come from any thread; they are
 * serialised inside the library. */
#ifndef ZENORA_SOUNDLIB_BASSMOD_H
#define ZENORA_SOUNDLIB_BASSMOD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The types of the Windows API, declared as windows.h declares them there,
 * so that both headers may be seen together. */
typedef int BOOL;
#ifdef _WIN32
typedef unsigned long DWORD;
#else
typedef uint32_t DWORD;
#endif

/* The exports: the library's API and nothing else. */
#if defined(_WIN32) && defined(BASSMOD_BUILDING)
#define BASSMOD_API __declspec(dllexport)
#elif defined(_WIN32)
#define BASSMOD_API
#else
#define BASSMOD_API __attribute__((visibility("default")))
#endif

/* Error codes */
#define BASSMOD_OK 0
#define BASSMOD_ERROR_MEMORY 1    /* out of memory */
#define BASSMOD_ERROR_FILE_OPEN 2 /* the file cannot be opened or read */
#define BASSMOD_ERROR_DRIVER 3    /* no sound output could be opened */
#define BASSMOD_ERROR_HANDLE 5    /* no music is loaded */
#define BASSMOD_ERROR_FORMAT 6    /* not a module format we can decode */
#define BASSMOD_ERROR_POSITION 7
#define BASSMOD_ERROR_INIT 8     /* BASSMOD_Init has not succeeded */
#define BASSMOD_ERROR_ALREADY 14 /* already initialised */
#define BASSMOD_ERROR_NOT_PAUSED 16
#define BASSMOD_ERROR_ILLEGAL_TYPE 19
#define BASSMOD_ERROR_ILLEGAL_PARAM 20 /* e.g. an output rate we cannot render */
#define BASSMOD_ERROR_DEVICE 23        /* no such device number */
#define BASSMOD_ERROR_NOT_PLAYING 24
#define BASSMOD_ERROR_UNKNOWN (-1)

/* Devices for BASSMOD_Init */
#define BASSMOD_DEVICE_DEFAULT (-1)
#define BASSMOD_DEVICE_NO_SOUND 0 /* everything works, nothing is heard */

/* Flags for BASSMOD_MusicLoad */
#define BASSMOD_MUSIC_RAMP 1       /* volume ramping */
#define BASSMOD_MUSIC_RAMPS 2      /* sensitive volume ramping */
#define BASSMOD_MUSIC_LOOP 4       /* loop forever; otherwise play once, then silence */
#define BASSMOD_MUSIC_SURROUND 512 /* wider stereo */

/* Version: low word major, high word minor. */
BASSMOD_API DWORD BASSMOD_GetVersion(void);

/* Opens the output. device: BASSMOD_DEVICE_DEFAULT, BASSMOD_DEVICE_NO_SOUND, or
 * 1..n for the n outputs the system lists. freq: output rate in Hz. flags: none
 * are defined. A sound server that does not answer within three seconds counts
 * as no output (BASSMOD_ERROR_DRIVER); until it has answered, later calls fail
 * so at once. */
BASSMOD_API BOOL BASSMOD_Init(int device, DWORD freq, DWORD flags);

/* Closes the output and frees the music; BASSMOD_Init may be called again. */
BASSMOD_API BOOL BASSMOD_Free(void);

/* Loads the one music, freeing the previous one. mem = 0: file is a
 * NUL-terminated path, in UTF-8 on every system; offset/length select a part
 * of it (length 0 = to the end). mem != 0: file points at length bytes,
 * offset is added. The music is stopped until BASSMOD_MusicPlay. */
BASSMOD_API BOOL BASSMOD_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);

/* Plays the loaded music from its beginning. */
BASSMOD_API BOOL BASSMOD_MusicPlay(void);

/* Stops playback; the music stays loaded. */
BASSMOD_API BOOL BASSMOD_MusicStop(void);

/* Stops and releases the music; nothing to do if none is loaded. */
BASSMOD_API void BASSMOD_MusicFree(void);

/* 1 while the music is playing, 0 when stopped, ended or not loaded. */
BASSMOD_API DWORD BASSMOD_MusicIsActive(void);

/* playlen != 0: length of one pass in whole seconds; otherwise the number of
 * orders. (DWORD)-1 on failure. */
BASSMOD_API DWORD BASSMOD_MusicGetLength(BOOL playlen);

/* What BASSMOD_DEVICE_DEFAULT stands for in later BASSMOD_Init calls:
 * BASSMOD_DEVICE_DEFAULT (the system's default output, as on loading),
 * BASSMOD_DEVICE_NO_SOUND, or 1..n. It lets a host run a program that always
 * asks for the default output, unchanged, with its music only decoded
 * (BASSMOD_MusicDecode) rather than heard: a capture tool, for one. */
BASSMOD_API BOOL BASSMOD_SetDefaultDevice(int device);

/* Initialised for no sound: renders the next frames sample frames of the
 * music into buffer (interleaved 16-bit stereo at the BASSMOD_Init rate) and
 * moves playback on by as much, exactly as an output would pull them; silence
 * where nothing plays. Fails with BASSMOD_ERROR_DEVICE while an output is
 * open, which pulls the music itself. */
BASSMOD_API BOOL BASSMOD_MusicDecode(void* buffer, DWORD frames);

/* Outcome of the last call. */
BASSMOD_API int BASSMOD_ErrorGetCode(void);

#ifdef __cplusplus
}
#endif

#endif
