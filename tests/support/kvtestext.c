/* A small native library for the external-call tests, the extension example game and bench/external.sh.
 * Every function records what it received in a text log that kvt_last() returns, so a test can check the values,
 * their order and their kinds. Built by CMake as libkvtestext.so. The kvt_real and kvt_mix functions below the
 * hand-written ones are generated in regular patterns (see the comment there). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

static char last[8192];
static size_t lastLen;
static double counted;
static char echo[8192];

static void Reset(const char* name) {
  lastLen = 0;
  last[0] = 0;
  size_t n = strlen(name);
  if (n >= sizeof last) n = sizeof last - 1;
  memcpy(last, name, n);
  lastLen = n;
  last[lastLen] = 0;
}

static void Add(const char* text) {
  size_t n = strlen(text);
  if (lastLen + n >= sizeof last) n = sizeof last - 1 - lastLen;
  memcpy(last + lastLen, text, n);
  lastLen += n;
  last[lastLen] = 0;
}

static void R(double v) {
  char b[64];
  snprintf(b, sizeof b, " r%g", v);
  Add(b);
}

static void S(const char* v) {
  Add(" s'");
  Add(v ? v : "(null)");
  Add("'");
}

/* What the last recorded call received: its name, then " r<number>" or " s'<text>'" per argument. */
const char* kvt_last(void) { return last; }

/* Returns its argument: strings with any bytes (128-255 too) come back unchanged. */
const char* kvt_echo(const char* s) {
  size_t n = s ? strlen(s) : 0;
  if (n >= sizeof echo) n = sizeof echo - 1;
  if (n) memcpy(echo, s, n);
  echo[n] = 0;
  return echo;
}

/* The bytes 128 ... 255 in order. */
const char* kvt_high_bytes(void) {
  static char b[129];
  for (int i = 0; i < 128; ++i) b[i] = (char)(128 + i);
  b[128] = 0;
  return b;
}

/* A null string result. */
const char* kvt_null(void) { return NULL; }

double kvt_strlen(const char* s) { return s ? (double)strlen(s) : -1; }

double kvt_add2(double a, double b) { return a + b; }

/* Counts its calls, so a test can tell that a refused call never reached native code. */
double kvt_counted(double a, double b) {
  Reset("kvt_counted");
  R(a);
  R(b);
  counted += 1;
  return counted;
}
double kvt_count(void) { return counted; }

/* The file this library was loaded from (tells apart copies found in different places). */
const char* kvt_library_path(void) {
  static Dl_info info;
  if (!dladdr((void*)&kvt_library_path, &info) || !info.dli_fname) return "";
  return info.dli_fname;
}

/* Generated: kvt_realN takes N doubles (N = 0 ... 16) and returns the sum of (i + 1) * argument i, so the order
 * matters; kvt_mix_P for every pattern P of up to 4 letters r (double) and s (string) returns the number of
 * arguments plus the sum of the doubles plus the lengths of the strings. Both record their arguments. */

double kvt_real0(void) {
  Reset("kvt_real0");
  return 0;
}

double kvt_real1(double a0) {
  Reset("kvt_real1");
  R(a0);
  return 1 * a0;
}

double kvt_real2(double a0, double a1) {
  Reset("kvt_real2");
  R(a0);
  R(a1);
  return 1 * a0 + 2 * a1;
}

double kvt_real3(double a0, double a1, double a2) {
  Reset("kvt_real3");
  R(a0);
  R(a1);
  R(a2);
  return 1 * a0 + 2 * a1 + 3 * a2;
}

double kvt_real4(double a0, double a1, double a2, double a3) {
  Reset("kvt_real4");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3;
}

double kvt_real5(double a0, double a1, double a2, double a3, double a4) {
  Reset("kvt_real5");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4;
}

double kvt_real6(double a0, double a1, double a2, double a3, double a4, double a5) {
  Reset("kvt_real6");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5;
}

double kvt_real7(double a0, double a1, double a2, double a3, double a4, double a5, double a6) {
  Reset("kvt_real7");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6;
}

double kvt_real8(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7) {
  Reset("kvt_real8");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7;
}

double kvt_real9(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8) {
  Reset("kvt_real9");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8;
}

double kvt_real10(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9) {
  Reset("kvt_real10");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9;
}

double kvt_real11(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10) {
  Reset("kvt_real11");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10;
}

double kvt_real12(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10, double a11) {
  Reset("kvt_real12");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  R(a11);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10 + 12 * a11;
}

double kvt_real13(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10, double a11, double a12) {
  Reset("kvt_real13");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  R(a11);
  R(a12);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10 + 12 * a11 + 13 * a12;
}

double kvt_real14(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10, double a11, double a12, double a13) {
  Reset("kvt_real14");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  R(a11);
  R(a12);
  R(a13);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10 + 12 * a11 + 13 * a12 + 14 * a13;
}

double kvt_real15(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10, double a11, double a12, double a13, double a14) {
  Reset("kvt_real15");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  R(a11);
  R(a12);
  R(a13);
  R(a14);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10 + 12 * a11 + 13 * a12 + 14 * a13 + 15 * a14;
}

double kvt_real16(double a0, double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9, double a10, double a11, double a12, double a13, double a14, double a15) {
  Reset("kvt_real16");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  R(a4);
  R(a5);
  R(a6);
  R(a7);
  R(a8);
  R(a9);
  R(a10);
  R(a11);
  R(a12);
  R(a13);
  R(a14);
  R(a15);
  return 1 * a0 + 2 * a1 + 3 * a2 + 4 * a3 + 5 * a4 + 6 * a5 + 7 * a6 + 8 * a7 + 9 * a8 + 10 * a9 + 11 * a10 + 12 * a11 + 13 * a12 + 14 * a13 + 15 * a14 + 16 * a15;
}

double kvt_mix_r(double a0) {
  Reset("kvt_mix_r");
  R(a0);
  return 1 + a0;
}

double kvt_mix_s(const char* a0) {
  Reset("kvt_mix_s");
  S(a0);
  return 1 + (double)strlen(a0);
}

double kvt_mix_rr(double a0, double a1) {
  Reset("kvt_mix_rr");
  R(a0);
  R(a1);
  return 2 + a0 + a1;
}

double kvt_mix_rs(double a0, const char* a1) {
  Reset("kvt_mix_rs");
  R(a0);
  S(a1);
  return 2 + a0 + (double)strlen(a1);
}

double kvt_mix_sr(const char* a0, double a1) {
  Reset("kvt_mix_sr");
  S(a0);
  R(a1);
  return 2 + (double)strlen(a0) + a1;
}

double kvt_mix_ss(const char* a0, const char* a1) {
  Reset("kvt_mix_ss");
  S(a0);
  S(a1);
  return 2 + (double)strlen(a0) + (double)strlen(a1);
}

double kvt_mix_rrr(double a0, double a1, double a2) {
  Reset("kvt_mix_rrr");
  R(a0);
  R(a1);
  R(a2);
  return 3 + a0 + a1 + a2;
}

double kvt_mix_rrs(double a0, double a1, const char* a2) {
  Reset("kvt_mix_rrs");
  R(a0);
  R(a1);
  S(a2);
  return 3 + a0 + a1 + (double)strlen(a2);
}

double kvt_mix_rsr(double a0, const char* a1, double a2) {
  Reset("kvt_mix_rsr");
  R(a0);
  S(a1);
  R(a2);
  return 3 + a0 + (double)strlen(a1) + a2;
}

double kvt_mix_rss(double a0, const char* a1, const char* a2) {
  Reset("kvt_mix_rss");
  R(a0);
  S(a1);
  S(a2);
  return 3 + a0 + (double)strlen(a1) + (double)strlen(a2);
}

double kvt_mix_srr(const char* a0, double a1, double a2) {
  Reset("kvt_mix_srr");
  S(a0);
  R(a1);
  R(a2);
  return 3 + (double)strlen(a0) + a1 + a2;
}

double kvt_mix_srs(const char* a0, double a1, const char* a2) {
  Reset("kvt_mix_srs");
  S(a0);
  R(a1);
  S(a2);
  return 3 + (double)strlen(a0) + a1 + (double)strlen(a2);
}

double kvt_mix_ssr(const char* a0, const char* a1, double a2) {
  Reset("kvt_mix_ssr");
  S(a0);
  S(a1);
  R(a2);
  return 3 + (double)strlen(a0) + (double)strlen(a1) + a2;
}

double kvt_mix_sss(const char* a0, const char* a1, const char* a2) {
  Reset("kvt_mix_sss");
  S(a0);
  S(a1);
  S(a2);
  return 3 + (double)strlen(a0) + (double)strlen(a1) + (double)strlen(a2);
}

double kvt_mix_rrrr(double a0, double a1, double a2, double a3) {
  Reset("kvt_mix_rrrr");
  R(a0);
  R(a1);
  R(a2);
  R(a3);
  return 4 + a0 + a1 + a2 + a3;
}

double kvt_mix_rrrs(double a0, double a1, double a2, const char* a3) {
  Reset("kvt_mix_rrrs");
  R(a0);
  R(a1);
  R(a2);
  S(a3);
  return 4 + a0 + a1 + a2 + (double)strlen(a3);
}

double kvt_mix_rrsr(double a0, double a1, const char* a2, double a3) {
  Reset("kvt_mix_rrsr");
  R(a0);
  R(a1);
  S(a2);
  R(a3);
  return 4 + a0 + a1 + (double)strlen(a2) + a3;
}

double kvt_mix_rrss(double a0, double a1, const char* a2, const char* a3) {
  Reset("kvt_mix_rrss");
  R(a0);
  R(a1);
  S(a2);
  S(a3);
  return 4 + a0 + a1 + (double)strlen(a2) + (double)strlen(a3);
}

double kvt_mix_rsrr(double a0, const char* a1, double a2, double a3) {
  Reset("kvt_mix_rsrr");
  R(a0);
  S(a1);
  R(a2);
  R(a3);
  return 4 + a0 + (double)strlen(a1) + a2 + a3;
}

double kvt_mix_rsrs(double a0, const char* a1, double a2, const char* a3) {
  Reset("kvt_mix_rsrs");
  R(a0);
  S(a1);
  R(a2);
  S(a3);
  return 4 + a0 + (double)strlen(a1) + a2 + (double)strlen(a3);
}

double kvt_mix_rssr(double a0, const char* a1, const char* a2, double a3) {
  Reset("kvt_mix_rssr");
  R(a0);
  S(a1);
  S(a2);
  R(a3);
  return 4 + a0 + (double)strlen(a1) + (double)strlen(a2) + a3;
}

double kvt_mix_rsss(double a0, const char* a1, const char* a2, const char* a3) {
  Reset("kvt_mix_rsss");
  R(a0);
  S(a1);
  S(a2);
  S(a3);
  return 4 + a0 + (double)strlen(a1) + (double)strlen(a2) + (double)strlen(a3);
}

double kvt_mix_srrr(const char* a0, double a1, double a2, double a3) {
  Reset("kvt_mix_srrr");
  S(a0);
  R(a1);
  R(a2);
  R(a3);
  return 4 + (double)strlen(a0) + a1 + a2 + a3;
}

double kvt_mix_srrs(const char* a0, double a1, double a2, const char* a3) {
  Reset("kvt_mix_srrs");
  S(a0);
  R(a1);
  R(a2);
  S(a3);
  return 4 + (double)strlen(a0) + a1 + a2 + (double)strlen(a3);
}

double kvt_mix_srsr(const char* a0, double a1, const char* a2, double a3) {
  Reset("kvt_mix_srsr");
  S(a0);
  R(a1);
  S(a2);
  R(a3);
  return 4 + (double)strlen(a0) + a1 + (double)strlen(a2) + a3;
}

double kvt_mix_srss(const char* a0, double a1, const char* a2, const char* a3) {
  Reset("kvt_mix_srss");
  S(a0);
  R(a1);
  S(a2);
  S(a3);
  return 4 + (double)strlen(a0) + a1 + (double)strlen(a2) + (double)strlen(a3);
}

double kvt_mix_ssrr(const char* a0, const char* a1, double a2, double a3) {
  Reset("kvt_mix_ssrr");
  S(a0);
  S(a1);
  R(a2);
  R(a3);
  return 4 + (double)strlen(a0) + (double)strlen(a1) + a2 + a3;
}

double kvt_mix_ssrs(const char* a0, const char* a1, double a2, const char* a3) {
  Reset("kvt_mix_ssrs");
  S(a0);
  S(a1);
  R(a2);
  S(a3);
  return 4 + (double)strlen(a0) + (double)strlen(a1) + a2 + (double)strlen(a3);
}

double kvt_mix_sssr(const char* a0, const char* a1, const char* a2, double a3) {
  Reset("kvt_mix_sssr");
  S(a0);
  S(a1);
  S(a2);
  R(a3);
  return 4 + (double)strlen(a0) + (double)strlen(a1) + (double)strlen(a2) + a3;
}

double kvt_mix_ssss(const char* a0, const char* a1, const char* a2, const char* a3) {
  Reset("kvt_mix_ssss");
  S(a0);
  S(a1);
  S(a2);
  S(a3);
  return 4 + (double)strlen(a0) + (double)strlen(a1) + (double)strlen(a2) + (double)strlen(a3);
}
