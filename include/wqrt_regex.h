/*
 * WqRT - POSIX regular expressions with 4.4BSD behaviour.
 *
 * The library exports regcomp, regexec, regerror and regfree, and the class Regex_T with the
 * member functions regcomp, regerror and regexec. Syntax, flags, error codes and error texts are
 * those of the 4.4BSD library, including REG_NOSPEC, REG_PEND, REG_STARTEND, REG_ITOA,
 * REG_ATOI and the word-boundary brackets "[[:<:]]" and "[[:>:]]".
 *
 * Naming scheme
 *   Windows builds: the functions are the plain names regcomp, regexec, regerror, regfree
 *   (__stdcall, so the 32-bit exports are _regcomp@12, _regexec@20, _regerror@16, _regfree@4);
 *   the types are regex_t and regmatch_t and the constants REG_EXTENDED, REG_NOMATCH, ...
 *   Native build: a shared library that exported "regcomp" would replace the C library's own
 *   for every module of the process, so there every name carries a prefix: wq_regcomp,
 *   wq_regexec, wq_regerror, wq_regfree, the types wq_regex_t and wq_regmatch_t and the
 *   constants WQ_REG_EXTENDED, WQ_REG_NOMATCH, ... The behaviour is identical.
 *   The prefixed spellings exist in every build (in the Windows builds as aliases of the plain
 *   ones), so portable code uses them and never sees the C library's <regex.h>.
 *   The three Regex_T members are exported as the C functions Regex_T_regcomp, Regex_T_regerror
 *   and Regex_T_regexec, taking the object first (__stdcall, "this" first); the module
 *   definition file gives them their C++ member-function names.
 *
 * Layout: every field of regex_t and regmatch_t is 32 bits wide in the 32-bit Windows build.
 *
 * Time: whether a pattern without back-references matches, and where, is found in time
 * proportional to the length of the subject times the size of the compiled pattern, whatever
 * the pattern. A pattern with back-references ("\1" .. "\9" in a basic expression) needs a
 * backtracking search, which is bounded: after WQ_REG_BACKTRACK_LIMIT steps plus 64 for each
 * square of the subject's length, at most ten times WQ_REG_BACKTRACK_LIMIT in all (or a nesting
 * deeper than WQ_REG_BACKTRACK_DEPTH), regexec gives up and returns REG_ESPACE. Working out the
 * subexpression offsets (nmatch > 1) is charged to a budget of WQ_REG_BACKTRACK_LIMIT steps,
 * which only very large nested counted repetitions reach; they get REG_ESPACE too. No pattern
 * can hang the caller.
 *
 * Size: a pattern whose compiled form would exceed WQ_REG_MAX_PROGRAM instructions (counted
 * repetitions are expanded, so "((a{255}){255}){255}" is that large) or that nests parentheses
 * deeper than WQ_REG_MAX_NESTING fails with REG_ESPACE.
 */
#ifndef WQRT_REGEX_H
#define WQRT_REGEX_H

#include "wqrt.h"

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define WQ_REGEX_NAME(name) name
#else
#define WQ_REGEX_NAME(name) wq_##name
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A compiled expression. */
typedef struct WQ_REGEX_NAME(regex_t) {
    int32_t re_magic;    /* 62053 after a successful regcomp */
    size_t re_nsub;      /* number of parenthesised subexpressions */
    const char* re_endp; /* end of the pattern with REG_PEND; a name for REG_ATOI */
    void* re_g;          /* the compiled form, owned by the object, released by regfree */
} WQ_REGEX_NAME(regex_t);

/* One match slot: offsets from the start of the subject; -1 when the slot took no part. */
typedef struct WQ_REGEX_NAME(regmatch_t) {
    int32_t rm_so;
    int32_t rm_eo;
} WQ_REGEX_NAME(regmatch_t);

#define WQ_REG_MAGIC 62053

/* regcomp flags */
#define WQ_REG_BASIC 0
#define WQ_REG_EXTENDED 1
#define WQ_REG_ICASE 2
#define WQ_REG_NOSUB 4
#define WQ_REG_NEWLINE 8
#define WQ_REG_NOSPEC 16
#define WQ_REG_PEND 32
#define WQ_REG_DUMP 128 /* accepted and ignored */

/* regexec flags; other bits are ignored */
#define WQ_REG_NOTBOL 1
#define WQ_REG_NOTEOL 2
#define WQ_REG_STARTEND 4

/* Error codes */
#define WQ_REG_NOMATCH 1
#define WQ_REG_BADPAT 2
#define WQ_REG_ECOLLATE 3
#define WQ_REG_ECTYPE 4
#define WQ_REG_EESCAPE 5
#define WQ_REG_ESUBREG 6
#define WQ_REG_EBRACK 7
#define WQ_REG_EPAREN 8
#define WQ_REG_EBRACE 9
#define WQ_REG_BADBR 10
#define WQ_REG_ERANGE 11
#define WQ_REG_ESPACE 12
#define WQ_REG_BADRPT 13
#define WQ_REG_EMPTY 14
#define WQ_REG_ASSERT 15
#define WQ_REG_INVARG 16

/* regerror requests */
#define WQ_REG_ATOI 255 /* the number of the error named at re_endp */
#define WQ_REG_ITOA 256 /* added to a code: the code's name instead of its text */

/* Bounds (see above). */
#define WQ_REG_BACKTRACK_LIMIT 50000000L
#define WQ_REG_BACKTRACK_DEPTH 1500
#define WQ_REG_MAX_PROGRAM 2000000L
#define WQ_REG_MAX_NESTING 200

WQ_EXPORT int WQ_API WQ_REGEX_NAME(regcomp)(WQ_REGEX_NAME(regex_t) * preg, const char* pattern,
                                            int cflags);
WQ_EXPORT int WQ_API WQ_REGEX_NAME(regexec)(const WQ_REGEX_NAME(regex_t) * preg, const char* string,
                                            size_t nmatch, WQ_REGEX_NAME(regmatch_t) pmatch[],
                                            int eflags);
WQ_EXPORT size_t WQ_API WQ_REGEX_NAME(regerror)(int errcode, const WQ_REGEX_NAME(regex_t) * preg,
                                                char* errbuf, size_t errbuf_size);
WQ_EXPORT void WQ_API WQ_REGEX_NAME(regfree)(WQ_REGEX_NAME(regex_t) * preg);

#if defined(_WIN32)
/* The plain names are the exports; the prefixed spellings are aliases for portable code. */
typedef regex_t wq_regex_t;
typedef regmatch_t wq_regmatch_t;
#define wq_regcomp regcomp
#define wq_regexec regexec
#define wq_regerror regerror
#define wq_regfree regfree

#define REG_BASIC WQ_REG_BASIC
#define REG_EXTENDED WQ_REG_EXTENDED
#define REG_ICASE WQ_REG_ICASE
#define REG_NOSUB WQ_REG_NOSUB
#define REG_NEWLINE WQ_REG_NEWLINE
#define REG_NOSPEC WQ_REG_NOSPEC
#define REG_PEND WQ_REG_PEND
#define REG_DUMP WQ_REG_DUMP
#define REG_NOTBOL WQ_REG_NOTBOL
#define REG_NOTEOL WQ_REG_NOTEOL
#define REG_STARTEND WQ_REG_STARTEND
#define REG_NOMATCH WQ_REG_NOMATCH
#define REG_BADPAT WQ_REG_BADPAT
#define REG_ECOLLATE WQ_REG_ECOLLATE
#define REG_ECTYPE WQ_REG_ECTYPE
#define REG_EESCAPE WQ_REG_EESCAPE
#define REG_ESUBREG WQ_REG_ESUBREG
#define REG_EBRACK WQ_REG_EBRACK
#define REG_EPAREN WQ_REG_EPAREN
#define REG_EBRACE WQ_REG_EBRACE
#define REG_BADBR WQ_REG_BADBR
#define REG_ERANGE WQ_REG_ERANGE
#define REG_ESPACE WQ_REG_ESPACE
#define REG_BADRPT WQ_REG_BADRPT
#define REG_EMPTY WQ_REG_EMPTY
#define REG_ASSERT WQ_REG_ASSERT
#define REG_INVARG WQ_REG_INVARG
#define REG_ATOI WQ_REG_ATOI
#define REG_ITOA WQ_REG_ITOA
#endif

/*
 * The Regex_T member functions in C form: the object first, then the member's arguments.
 * Regex_T_regcomp forwards to regcomp, Regex_T_regerror to regerror (with the object as the
 * expression) and Regex_T_regexec to regexec. There is no regfree member: a Regex_T is
 * released with regfree.
 */
struct Regex_T;
WQ_EXPORT int WQ_API Regex_T_regcomp(struct Regex_T* self, const char* pattern, int cflags);
WQ_EXPORT unsigned int WQ_API Regex_T_regerror(struct Regex_T* self, int errcode, char* buf,
                                               unsigned int size);
WQ_EXPORT int WQ_API Regex_T_regexec(struct Regex_T* self, const char* string, unsigned int nmatch,
                                     wq_regmatch_t* pmatch, int eflags);

#ifdef __cplusplus
} /* extern "C" */

/* The class as a C++ host declares it: exactly the layout of regex_t, no virtual functions. */
struct Regex_T : wq_regex_t {
    int regcomp(const char* pattern, int cflags) { return Regex_T_regcomp(this, pattern, cflags); }
    unsigned int regerror(int errcode, char* buf, unsigned int size) {
        return Regex_T_regerror(this, errcode, buf, size);
    }
    int regexec(const char* string, unsigned int nmatch, wq_regmatch_t* pmatch, int eflags) {
        return Regex_T_regexec(this, string, nmatch, pmatch, eflags);
    }
};
static_assert(sizeof(Regex_T) == sizeof(wq_regex_t), "Regex_T is laid out as regex_t");
#else
/* In C the class is the record itself. */
struct Regex_T {
    wq_regex_t re;
};
#endif

#if defined(_WIN32) && !defined(_WIN64)
#ifdef __cplusplus
#define WQ_REGEX_STATIC_ASSERT static_assert
#else
#define WQ_REGEX_STATIC_ASSERT _Static_assert
#endif
WQ_REGEX_STATIC_ASSERT(sizeof(wq_regex_t) == 16, "regex_t is four 32-bit fields");
WQ_REGEX_STATIC_ASSERT(sizeof(((wq_regex_t*)0)->re_nsub) == 4, "re_nsub is 32 bits");
WQ_REGEX_STATIC_ASSERT(sizeof(((wq_regex_t*)0)->re_endp) == 4, "re_endp is 32 bits");
WQ_REGEX_STATIC_ASSERT(sizeof(((wq_regex_t*)0)->re_g) == 4, "re_g is 32 bits");
WQ_REGEX_STATIC_ASSERT(sizeof(wq_regmatch_t) == 8, "regmatch_t is two 32-bit offsets");
#undef WQ_REGEX_STATIC_ASSERT
#endif

#endif /* WQRT_REGEX_H */
