package main

import "fmt"

func main() {
	// entry
	for i := 0; i < 3; i++ {
		fmt.Println(i)
	}
}
