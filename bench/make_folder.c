/* Fills an empty folder with a synthetic listing job: COUNT entries, about
 * 1 % of them sub-folders, twenty-odd extensions, some names that a page must
 * escape or a link must encode, some small contents, and times spread over
 * ten years. The same COUNT always gives the same folder.
 *
 *   make_folder FOLDER COUNT
 *
 * With --tree, a tree of FOLDERS folders (the top, 99 below it and the rest
 * one level further down) holding FILES files: five folders of 50,000 files
 * and the rest spread evenly, as a file archive or a build's artefacts are.
 *
 *   make_folder --tree FOLDER FILES FOLDERS
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char* const kExtensions[] = {".txt", ".html", ".jpg",    ".png", ".pdf", ".c",   ".h",
                                          ".cpp", ".py",   ".json",   ".xml", ".csv", ".log", ".md",
                                          ".zip", ".mp3",  ".tar.gz", ".doc", ".sh",  ".ksv", ""};
static const char* const kStems[] = {"report",  "photo", "Notes",  "data", "build",
                                     "Invoice", "draft", "backup", "scan", "track"};
/* Blanks, markup characters, "%" and UTF-8 bytes: names that need care. */
static const char* const kAwkward[] = {" copy", " & more", "<b>", "#1", "%20x", "-\xc3\xa9t\xc3\xa9",
                                       "'q'",   "[old]"};

static uint64_t state = 0x9E3779B97F4A7C15u;
static uint32_t next_random(void) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return (uint32_t)(state >> 16);
}

#define COUNT_OF(a) (sizeof(a) / sizeof((a)[0]))

/* Fills the open folder with COUNT entries; sub-folders only with_folders. */
static int fill_folder(int folder_fd, long count, int with_folders) {
  static char contents[4096];
  for (size_t i = 0; i < sizeof contents; i++) contents[i] = (char)('a' + i % 26);
  const time_t newest = 1700000000; /* November 2023 */
  const uint32_t ten_years = 10u * 365u * 24u * 3600u;

  for (long i = 0; i < count; i++) {
    uint32_t r = next_random();
    /* A bijection of i: unique names that do not arrive in sorted order. */
    uint32_t tag = (uint32_t)i * 2654435761u;
    char name[256];
    const char* stem = kStems[r % COUNT_OF(kStems)];
    const char* awkward = (r >> 8) % 40 == 0 ? kAwkward[(r >> 16) % COUNT_OF(kAwkward)] : "";
    int is_folder = with_folders && (r >> 4) % 100 == 0;
    const char* extension = is_folder ? "" : kExtensions[(r >> 12) % COUNT_OF(kExtensions)];
    snprintf(name, sizeof name, "%s-%08x%s%s", stem, tag, awkward, extension);

    if (is_folder) {
      if (mkdirat(folder_fd, name, 0755) != 0 && errno != EEXIST) {
        perror(name);
        return 1;
      }
    } else {
      int fd = openat(folder_fd, name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) {
        perror(name);
        return 1;
      }
      if ((r >> 20) % 10 == 0) {
        size_t size = 1 + next_random() % sizeof contents;
        if (write(fd, contents, size) != (ssize_t)size) {
          perror(name);
          return 1;
        }
      }
      close(fd);
    }
    struct timespec times[2];
    times[1].tv_sec = newest - (time_t)(next_random() % ten_years);
    times[1].tv_nsec = 0;
    times[0].tv_sec = times[1].tv_sec + (time_t)(next_random() % (30u * 24u * 3600u));
    times[0].tv_nsec = 0;
    if (utimensat(folder_fd, name, times, 0) != 0) {
      perror(name);
      return 1;
    }
  }
  return 0;
}

static int make_tree(const char* top, long files, long folders) {
  char path[4096];
  /* Five large folders of a twentieth of the files each (50,000 of a
     million), the rest spread evenly. */
  const long big = 5, big_files = files / 20;
  const long rest = files > big * big_files ? files - big * big_files : 0;
  long made = 0;
  for (long i = 0; i < folders; i++) {
    if (i == 0) {
      snprintf(path, sizeof path, "%s", top);
    } else if (i < 100) {
      snprintf(path, sizeof path, "%s/group-%02ld", top, i);
    } else {
      snprintf(path, sizeof path, "%s/group-%02ld/part-%04ld", top, 1 + i % 99, i);
    }
    if (mkdir(path, 0755) != 0 && errno != EEXIST) {
      perror(path);
      return 1;
    }
    int fd = open(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
      perror(path);
      return 1;
    }
    long count = i > 0 && i <= big ? big_files : rest / (folders - big);
    if (i == folders - 1) count = files - made;
    made += count;
    int failed = fill_folder(fd, count, 0);
    close(fd);
    if (failed) return failed;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "--tree") == 0) {
    return make_tree(argv[2], strtol(argv[3], NULL, 10), strtol(argv[4], NULL, 10));
  }
  if (argc != 3) {
    fputs("usage: make_folder FOLDER COUNT | make_folder --tree FOLDER FILES FOLDERS\n", stderr);
    return 2;
  }
  const char* folder = argv[1];
  long count = strtol(argv[2], NULL, 10);
  if (mkdir(folder, 0755) != 0 && errno != EEXIST) {
    perror(folder);
    return 1;
  }
  int folder_fd = open(folder, O_RDONLY | O_DIRECTORY);
  if (folder_fd < 0) {
    perror(folder);
    return 1;
  }
  int failed = fill_folder(folder_fd, count, 1);
  close(folder_fd);
  return failed;
}
