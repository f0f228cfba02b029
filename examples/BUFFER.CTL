A G (E X TRUE)
