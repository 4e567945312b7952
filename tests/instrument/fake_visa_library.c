/* A tiny VISA library for the VISA transport's tests: the calls the program loads, with
 * instruments that answer "*IDN?" with "FAKE,VISA,<resource>,1", "SLOW?" never (a time-out),
 * and any other query with "0"; resources holding "NOSUCH" are not found. Every call is
 * logged for the test to read through fake_visa_log(). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define VI_SUCCESS 0
#define VI_SUCCESS_TERM_CHAR 0x3FFF0005
#define VI_ERROR_INV_OBJECT ((int32_t)0xBFFF000E)
#define VI_ERROR_RSRC_NFOUND ((int32_t)0xBFFF0011)
#define VI_ERROR_TMO ((int32_t)0xBFFF0015)
#define VI_ATTR_TERMCHAR_EN 0x3FFF0038u

enum { kSessions = 16, kText = 256, kLog = 8192 };

struct Session {
  int open;
  int termchar;
  char resource[kText];
  char last[kText];
};

static struct Session sessions[kSessions];
static char log_text[kLog];

static void Log(const char* entry) {
  if (strlen(log_text) + strlen(entry) + 2 < sizeof log_text) {
    if (log_text[0])
      strcat(log_text, "|");
    strcat(log_text, entry);
  }
}

static struct Session* Find(uint32_t vi) {
  return vi < kSessions && sessions[vi].open ? &sessions[vi] : NULL;
}

int fake_visa_log(char* buffer, int size) {
  snprintf(buffer, (size_t)size, "%s", log_text);
  log_text[0] = '\0';
  return (int)strlen(buffer);
}

int32_t viOpenDefaultRM(uint32_t* rm) {
  *rm = 1;
  Log("rm");
  return VI_SUCCESS;
}

int32_t viOpen(uint32_t rm, const char* name, uint32_t mode, uint32_t timeout, uint32_t* vi) {
  char entry[kText + 16];
  (void)mode;
  (void)timeout;
  snprintf(entry, sizeof entry, "open %s", name);
  Log(entry);
  if (rm != 1)
    return VI_ERROR_INV_OBJECT;
  if (strstr(name, "NOSUCH"))
    return VI_ERROR_RSRC_NFOUND;
  for (uint32_t i = 2; i < kSessions; ++i) {
    if (!sessions[i].open) {
      memset(&sessions[i], 0, sizeof sessions[i]);
      sessions[i].open = 1;
      snprintf(sessions[i].resource, kText, "%s", name);
      *vi = i;
      return VI_SUCCESS;
    }
  }
  return VI_ERROR_RSRC_NFOUND;
}

int32_t viClose(uint32_t vi) {
  struct Session* session = Find(vi);
  char entry[32];
  snprintf(entry, sizeof entry, "close %u", vi);
  Log(entry);
  if (!session)
    return VI_ERROR_INV_OBJECT;
  session->open = 0;
  return VI_SUCCESS;
}

int32_t viSetAttribute(uint32_t vi, uint32_t attribute, uint64_t value) {
  struct Session* session = Find(vi);
  if (!session)
    return VI_ERROR_INV_OBJECT;
  if (attribute == VI_ATTR_TERMCHAR_EN) {
    session->termchar = value != 0;
    Log("termchar on");
  }
  return VI_SUCCESS;
}

int32_t viClear(uint32_t vi) {
  Log("clear");
  return Find(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

int32_t viWrite(uint32_t vi, const unsigned char* buffer, uint32_t count, uint32_t* written) {
  struct Session* session = Find(vi);
  char entry[kText + 16];
  if (!session)
    return VI_ERROR_INV_OBJECT;
  snprintf(session->last, kText, "%.*s", (int)count, (const char*)buffer);
  snprintf(entry, sizeof entry, "write [%s]", session->last);
  Log(entry);
  *written = count;
  return VI_SUCCESS;
}

int32_t viRead(uint32_t vi, unsigned char* buffer, uint32_t count, uint32_t* received) {
  struct Session* session = Find(vi);
  char answer[kText * 2];
  size_t length;
  *received = 0;
  if (!session)
    return VI_ERROR_INV_OBJECT;
  if (strncmp(session->last, "SLOW?", 5) == 0)
    return VI_ERROR_TMO;
  if (strncmp(session->last, "*IDN?", 5) == 0)
    snprintf(answer, sizeof answer, "FAKE,VISA,%s,1\n", session->resource);
  else
    snprintf(answer, sizeof answer, "0\n");
  length = strlen(answer);
  if (length > count)
    length = count;
  memcpy(buffer, answer, length);
  *received = (uint32_t)length;
  return session->termchar ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS;
}
