/* The floor of the benchmark: the least work any HTML listing of one folder
 * must do. One readdir pass, one stat per entry, a sort by name, one table
 * row per entry with name, size and last-write time, one buffered write.
 * Whatever a real listing costs above this is its own overhead.
 *
 *   floor FOLDER OUTPUT
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

struct entry {
  const char* name;
  long long size;
  time_t mtime;
  int is_folder;
};

static void* grow(void* block, size_t count, size_t size) {
  void* grown = realloc(block, count * size);
  if (grown == NULL) {
    fputs("floor: out of memory\n", stderr);
    exit(1);
  }
  return grown;
}

static int by_name(const void* a, const void* b) {
  return strcmp(((const struct entry*)a)->name, ((const struct entry*)b)->name);
}

static char* two_digits(char* out, int value) {
  out[0] = (char)('0' + value / 10);
  out[1] = (char)('0' + value % 10);
  return out + 2;
}

/* dd.mm.yyyy hh:mm, in UTC */
static void time_text(char* out, time_t when) {
  struct tm parts;
  gmtime_r(&when, &parts);
  out = two_digits(out, parts.tm_mday);
  *out++ = '.';
  out = two_digits(out, parts.tm_mon + 1);
  *out++ = '.';
  out += sprintf(out, "%d ", parts.tm_year + 1900);
  out = two_digits(out, parts.tm_hour);
  *out++ = ':';
  out = two_digits(out, parts.tm_min);
  *out = '\0';
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: floor FOLDER OUTPUT\n", stderr);
    return 2;
  }
  DIR* folder = opendir(argv[1]);
  if (folder == NULL) {
    perror(argv[1]);
    return 1;
  }
  int folder_fd = dirfd(folder);
  struct entry* entries = NULL;
  size_t count = 0, capacity = 0;
  char* names = NULL;
  size_t names_used = 0, names_capacity = 0;
  struct dirent* record;
  while ((record = readdir(folder)) != NULL) {
    if (strcmp(record->d_name, ".") == 0 || strcmp(record->d_name, "..") == 0) continue;
    struct stat info;
    if (fstatat(folder_fd, record->d_name, &info, 0) != 0) continue;
    size_t length = strlen(record->d_name) + 1;
    if (names_used + length > names_capacity) {
      names_capacity = (names_capacity + length) * 2;
      names = grow(names, names_capacity, 1);
    }
    memcpy(names + names_used, record->d_name, length);
    if (count == capacity) {
      capacity = capacity ? capacity * 2 : 1024;
      entries = grow(entries, capacity, sizeof *entries);
    }
    /* Offsets for now: the name block may still move. */
    entries[count].name = (const char*)(uintptr_t)names_used;
    entries[count].size = (long long)info.st_size;
    entries[count].mtime = info.st_mtime;
    entries[count].is_folder = S_ISDIR(info.st_mode);
    names_used += length;
    count++;
  }
  closedir(folder);
  for (size_t i = 0; i < count; i++) entries[i].name = names + (uintptr_t)entries[i].name;
  qsort(entries, count, sizeof *entries, by_name);

  FILE* out = fopen(argv[2], "wb");
  if (out == NULL) {
    perror(argv[2]);
    return 1;
  }
  setvbuf(out, NULL, _IOFBF, 1 << 20);
  fprintf(out, "<HTML>\r\n<HEAD>\r\n<TITLE>%s</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<TABLE>\r\n", argv[1]);
  char when[32];
  for (size_t i = 0; i < count; i++) {
    time_text(when, entries[i].mtime);
    if (entries[i].is_folder) {
      fprintf(out, "<TR><TD><A HREF = %s>%s</A></TD><TD>[..]</TD><TD>%s</TD></TR>\r\n", entries[i].name,
              entries[i].name, when);
    } else {
      fprintf(out, "<TR><TD><A HREF = %s>%s</A></TD><TD>%lld</TD><TD>%s</TD></TR>\r\n", entries[i].name,
              entries[i].name, entries[i].size, when);
    }
  }
  fputs("</TABLE>\r\n</BODY>\r\n</HTML>", out);
  if (fclose(out) != 0) {
    perror(argv[2]);
    return 1;
  }
  free(entries);
  free(names);
  return 0;
}
