// The libccp4 entry points that korven calls, declared once.
// The Fortran-interface routines follow gfortran's convention: every argument
// by pointer, and one hidden size_t length per text argument, at the end.
#pragma once
#include <cstddef>

extern "C" {
// Maps (libccp4f)
void mrdhds_(const int* iunit, const char* mapnam, char* title, int* nsec, int iuvw[3],
             int mxyz[3], int* nw1, int* nu1, int* nu2, int* nv1, int* nv2, float cell[6],
             int* lspgrp, int* lmode, float* rhmin, float* rhmax, float* rhmean, float* rhrms,
             int* ifail, const int* iprint, size_t mapnam_len, size_t title_len);
void mposn_(const int* iunit, const int* sec);
void mgulp_(const int* iunit, void* section, int* ier);
void mrclos_(const int* iunit);

// MTZ files (libccp4f)
void mtzini_(void);
void lropen_(const int* mindx, const char* name, const int* iprint, int* ifail,
             size_t name_len);
void lrncol_(const int* mindx, int* ncol);
void lrsymi_(const int* mindx, int* nsym, char* ltype, int* nspgr, char* spgrn, char* pgnam,
             size_t ltype_len, size_t spgrn_len, size_t pgnam_len);
void lrrefl_(const int* mindx, float* resol, float adata[], int* eof);
void lwopen_(const int* mindx, const char* name, size_t name_len);
void lwrefl_(const int* mindx, const float adata[]);
void lwclos_(const int* mindx, const int* iprint);

// Start-up, output options and texts (libccp4f)
void ccp4h_init_(void);
void ccp4h_init_lib_(const int* ihtml, const int* isumm);
int lenstr_(const char* s, size_t s_len);

// Start-up pieces (libccp4c)
int ccp4_utils_outbuf(void);
int ccp4_utils_noinpbuf(void);
int ccp4fyp(int argc, char** argv);
int ccperror(int ierr, const char* message);
const char* ccp4_strerror(int error);
extern int ccp4_errno;
int ccp4VerbosityLevel(int level);
}
