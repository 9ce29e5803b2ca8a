# Lab 1 results: mcf
Trace: traces/mcf.tr.gz
Date: Tue Sep  9 14:02:11 2025

Total instructions   : 10000000
Total cycles         : 18964224 cycles
CPI                  : 1.896
Unique PC values     : 524

Instruction mix
ALU operations       : 1653889
LD operations        : 4736164
ST operations        : 1128012
CBR operations       : 1550024
OTHER operations     : 931911
PERC_ALU_OP          : 16.539 %
PERC_LD_OP           : 47.362 %
PERC_ST_OP           : 11.280 %
PERC_CBR_OP          : 15.500 %
PERC_OTHER_OP        : 9.319 %

Status: done
