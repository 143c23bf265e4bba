# Writes the ALL leukemia microarray set (Bioconductor data package ALL:
# 12,625 probes x 128 samples, the ExpressionSet's exprs matrix) as a
# vandrel fingerprint file:   Rscript bench/export_all.R OUT.orig
# Header "rows columns", then one line per probe: its name and its values
# with 6 significant digits.
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 1) stop("usage: Rscript export_all.R OUT.orig")
suppressPackageStartupMessages({ library(Biobase); library(ALL) })
data(ALL)
m <- exprs(ALL)
out <- file(args[1], "w")
cat(nrow(m), " ", ncol(m), "\n", sep = "", file = out)
lines <- paste(rownames(m), apply(m, 1, function(r) paste(sprintf("%.6g", r), collapse = " ")))
writeLines(lines, out)
close(out)
